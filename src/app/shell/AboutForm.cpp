#include "app/shell/AboutForm.h"

#include "app/widgets/Fields.h"
#include "app/widgets/Resources.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace sundrel::app {

namespace {

// A label read by an accessibility client under the text it shows (rich
// text would otherwise be read with its markup).
QLabel* MakeLabel(const QString& text, const QString& spoken, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAccessibleName(spoken);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

QString LicencesHtml()
{
    struct Entry {
        QString library;
        QString licence;
        const char* url;
    };
    const Entry entries[] = {
        {QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion())),
         QStringLiteral("GNU Lesser General Public License v3 (LGPL v3)"),
         "https://www.gnu.org/licenses/lgpl-3.0.html"},
        {QStringLiteral("GL2PS"),
         QStringLiteral("GL2PS License, or at your option the GNU Library General Public "
                        "License (LGPL) v2 or later"),
         "https://www.geuz.org/gl2ps/"},
        {QStringLiteral("GLU (Mesa)"),
         QStringLiteral("SGI Free Software License B, version 2.0 (MIT style); "
                        "Mesa itself is under the MIT License"),
         "https://gitlab.freedesktop.org/mesa/glu"},
        {QStringLiteral("C++ standard library (libstdc++)"),
         QStringLiteral("GNU General Public License v3 with the GCC Runtime Library Exception "
                        "v3.1"),
         "https://www.gnu.org/licenses/gcc-exception-3.1.html"},
    };
    QString html = QStringLiteral("<p>Sundrel is built on these libraries:</p>");
    for (const Entry& entry : entries)
        html += QStringLiteral("<p><b>%1</b><br>%2<br><a href=\"%3\">%3</a></p>")
                    .arg(entry.library.toHtmlEscaped(), entry.licence.toHtmlEscaped(),
                         QString::fromLatin1(entry.url));
    return html;
}

} // namespace

TSundrelAboutForm::TSundrelAboutForm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About Sundrel"));

    auto* icon = new QLabel(this);
    icon->setPixmap(ApplicationIcon().pixmap(64, 64));
    icon->setAccessibleName(tr("Sundrel icon"));
    icon->setAlignment(Qt::AlignTop);

    const QString name = QStringLiteral("Sundrel");
    auto* title = MakeLabel(QStringLiteral("<span style=\"font-size:x-large; font-weight:bold\">"
                                           "%1</span>").arg(name),
                            name, this);
    const QString version = tr("Version %1").arg(QCoreApplication::applicationVersion());
    version_ = MakeLabel(version, version, this);
    const QString summary = tr("Finds zones of abrupt change (barriers) between sampled "
                               "populations on a map.");
    auto* description = MakeLabel(summary, summary, this);

    auto* heading = new QVBoxLayout;
    heading->addWidget(title);
    heading->addWidget(version_);
    heading->addWidget(description);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(heading, 1);

    licences_ = new QTextBrowser(this);
    licences_->setOpenExternalLinks(true);
    licences_->setHtml(LicencesHtml());
    licences_->setMinimumHeight(170);
    QLabel* caption = FieldLabel(tr("&Licences"), licences_);

    auto* buttons = new QDialogButtonBox(this);
    okButton_ = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    okButton_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addWidget(caption);
    layout->addWidget(licences_, 1);
    layout->addWidget(buttons);
    resize(500, 500);
}

QString TSundrelAboutForm::VersionText() const { return version_->text(); }

QString TSundrelAboutForm::LicenceText() const { return licences_->toPlainText(); }

} // namespace sundrel::app
