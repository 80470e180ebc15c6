#pragma once
// Error boxes that say why: the system's message as the text, and for a
// failure about a file, the file and the system's reason as the detail.

#include <QString>
#include <QWidget>

#include <exception>

namespace sundrel {
struct JobResult;
}

namespace sundrel::app {

// "PATH (reason)" for a failure about a file, else empty.
QString ErrorDetail(const std::exception& failure);
// The same for the result of a job.
QString ErrorDetail(const JobResult& result);
// A failed job's message, with its detail as a second line when it has one
// (for status lines, where no box holds the detail apart).
QString FailureText(const JobResult& result);

// A modal error box titled `title` with `message` and, when given, `detail`
// below it.
void ShowErrorBox(QWidget* parent, const QString& title, const QString& message,
                  const QString& detail = {});

} // namespace sundrel::app
