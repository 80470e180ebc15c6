#pragma once
// The file preview of the import dialogs, as the reader makes it (CR LF
// after every line), for a plain-text box.

#include <QString>

#include <string>

namespace sundrel::app {

inline QString DisplayedPreview(const std::string& preview)
{
    QString text = QString::fromLocal8Bit(preview.c_str());
    text.replace("\r\n", "\n");
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

} // namespace sundrel::app
