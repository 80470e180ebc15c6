#pragma once
// The start-up picture: a frameless window in the middle of the screen that
// goes away after a delay or at the first key press or mouse click anywhere
// in the application, whichever comes first, and then emits finished() once.

#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace sundrel::app {

class TStartupImage : public QWidget {
    Q_OBJECT

public:
    static constexpr int kDefaultDelayMs = 5000;

    explicit TStartupImage(QWidget* parent = nullptr);

    // How long the picture stays when nothing is pressed; used by the next
    // Start().
    void SetDelay(int ms) { delayMs_ = ms; }
    int Delay() const { return delayMs_; }

    // Shows the picture centred on the screen and starts the delay. Does
    // nothing once it has finished.
    void Start();
    // Hides the picture and emits finished(), unless it has already finished.
    void Finish();

    bool Finished() const { return finished_; }
    const QPixmap& Picture() const { return picture_; }

signals:
    void finished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    QTimer timer_;
    int delayMs_ = kDefaultDelayMs;
    bool finished_ = false;
};

} // namespace sundrel::app
