// The application's shell pieces: the start-up picture and how it ends, the
// about box, and the desktop entry and document types given to the desktop.

#include "app/shell/AboutForm.h"
#include "app/widgets/Resources.h"
#include "app/shell/StartupImage.h"
#include "AppTestSupport.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMap>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QThread>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <utility>

namespace {

using namespace sundrel::app;
using test::AccessibleName;

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    return test::WaitUntil(done, timeoutMs);
}

const QString kDataDir = QString::fromUtf8(SUNDREL_DATA_DIR);
const std::filesystem::path kScreenshotDir = SUNDREL_SCREENSHOT_DIR;

class StartupImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitResources();
        QObject::connect(&image, &TStartupImage::finished, [this] { ++finished; });
    }

    TStartupImage image;
    int finished = 0;
};

TEST_F(StartupImageTest, KeyPressAnywhereEndsItOnceAndStillArrives)
{
    ASSERT_EQ(image.Picture().size(), QSize(480, 300)) << "the picture is not compiled in";
    EXPECT_EQ(AccessibleName(&image), "Sundrel start-up image");
    image.Start();
    ASSERT_TRUE(WaitUntil([&] { return image.isVisible(); }));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((image.frameGeometry().center() - screen.center()).manhattanLength(), 2);
    image.grab().save(QString::fromStdString((kScreenshotDir / "startup-image.png").string()));

    // Another window has the focus: its key press ends the picture too.
    struct KeyTarget : QWidget {
        int keys = 0;
        void keyPressEvent(QKeyEvent*) override { ++keys; }
    } other;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QCoreApplication::sendEvent(&other, &press);
    QCoreApplication::sendEvent(&other, &press);
    EXPECT_EQ(other.keys, 2);
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(image.isVisible());
}

TEST_F(StartupImageTest, ClickEndsItOnce)
{
    image.Start();
    const QPointF at(10, 10);
    for (int i = 0; i < 2; ++i) {
        QMouseEvent click(QEvent::MouseButtonPress, at, image.mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&image, &click);
    }
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(image.isVisible());
}

TEST_F(StartupImageTest, EndsByItselfAfterItsDelay)
{
    image.SetDelay(80);
    image.Start();
    QElapsedTimer shown;
    shown.start();
    ASSERT_TRUE(WaitUntil([&] { return finished > 0; }));
    EXPECT_GE(shown.elapsed(), 70);
    WaitUntil([] { return false; }, 200);
    image.Start(); // ended for good
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(image.isVisible());
}

TEST(AboutFormTest, ShowsVersionAndLicencesToAccessibility)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(SUNDREL_VERSION));
    TSundrelAboutForm form;
    EXPECT_EQ(form.windowTitle(), "About Sundrel");
    EXPECT_EQ(form.VersionText(), "Version " SUNDREL_VERSION);
    const QString licences = form.LicenceText();
    for (const QString& expected :
         {QStringLiteral("Qt ") + qVersion(), QStringLiteral("LGPL v3"),
          QStringLiteral("GL2PS License"), QStringLiteral("SGI Free Software License B"),
          QStringLiteral("MIT License"), QStringLiteral("GCC Runtime Library Exception")})
        EXPECT_TRUE(licences.contains(expected)) << expected.toStdString();

    // Every text and control is named for an accessibility client as shown.
    QStringList names;
    for (QWidget* widget : form.findChildren<QWidget*>()) {
        if (!qobject_cast<QLabel*>(widget) && !qobject_cast<QAbstractButton*>(widget) &&
            !qobject_cast<QTextBrowser*>(widget))
            continue;
        names << AccessibleName(widget);
        EXPECT_FALSE(names.back().isEmpty()) << widget->metaObject()->className();
        if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy()) {
            EXPECT_EQ(AccessibleName(label->buddy()), label->text().remove('&'));
        }
    }
    for (const char* name : {"Sundrel", "Version " SUNDREL_VERSION, "Licences", "OK"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(name))) << name;
    // No address that leads nowhere: the project has no web page of its own.
    for (const QString& name : names)
        EXPECT_FALSE(name.contains(QStringLiteral("example."))) << name.toStdString();

    form.open();
    ASSERT_TRUE(WaitUntil([&] { return form.isVisible(); }));
    form.grab().save(QString::fromStdString((kScreenshotDir / "about-form.png").string()));
    form.OkButton()->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());
}

TEST(DesktopIntegrationTest, MimeTypesAndDesktopEntryAgree)
{
    // The MIME types with their comments and globs.
    QFile mime(kDataDir + "/sundrel-mime.xml");
    ASSERT_TRUE(mime.open(QIODevice::ReadOnly));
    QMap<QString, QStringList> types;
    QString type;
    QXmlStreamReader xml(&mime);
    while (xml.readNext() != QXmlStreamReader::EndDocument && !xml.hasError()) {
        if (xml.isStartElement() && xml.name() == u"mime-type")
            types[type = xml.attributes().value("type").toString()];
        else if (xml.isStartElement() && xml.name() == u"glob")
            types[type] << xml.attributes().value("pattern").toString();
        else if (xml.isStartElement() && xml.name() == u"comment")
            types[type] << xml.readElementText();
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(types.value("application/x-sundrel-triangulation"),
              QStringList({"Triangulation document", "*.dvt"}));
    EXPECT_EQ(types.value("application/x-sundrel-document"),
              QStringList({"Sundrel document", "*.dvk"}));

    QFile desktop(kDataDir + "/sundrel.desktop");
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(desktop.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.front(), "[Desktop Entry]");
    QMap<QString, QString> keys;
    for (const QString& line : lines.mid(1)) {
        const qsizetype equals = line.indexOf('=');
        ASSERT_GT(equals, 0) << line.toStdString();
        EXPECT_FALSE(keys.contains(line.left(equals))) << "repeated " << line.toStdString();
        keys[line.left(equals)] = line.mid(equals + 1);
    }
    for (const auto& [key, value] : {std::pair{"Type", "Application"}, {"Name", "Sundrel"},
                                     {"Exec", "sundrel %f"}, {"Icon", "sundrel"},
                                     {"Terminal", "false"}})
        EXPECT_EQ(keys[key], value) << key;
    // Every type the entry opens is defined, and every defined one is opened.
    QStringList opened = keys["MimeType"].split(';', Qt::SkipEmptyParts);
    opened.sort();
    EXPECT_EQ(opened, types.keys());

    for (const int size : {16, 32, 48, 64, 128, 256})
        EXPECT_EQ(QImage(kDataDir + QStringLiteral("/icons/sundrel-%1.png").arg(size)).size(),
                  QSize(size, size));
}

} // namespace
