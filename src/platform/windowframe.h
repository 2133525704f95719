#pragma once

#include <QAbstractNativeEventFilter>
#include <QMarginsF>
#include <QObject>

class QWidget;

// The frame a window manager puts around a top-level window, in the window's
// logical pixels. On X11 the window manager frames a window only after it is
// shown and notes the frame, in device pixels, in a property of the window
// (_NET_FRAME_EXTENTS); Qt reads that note again only when the window is next
// reconfigured, so it may keep a frame of nothing for good. This reads the note
// itself and says when it changes. Elsewhere the frame is what Qt reports.
class WindowFrame final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    explicit WindowFrame(QWidget *window);
    ~WindowFrame() override;

    // Fractional at a fractional scale: 25 device pixels are 16.67 at 1.5.
    QMarginsF margins();
    // False where the compositor places windows and ignores their requests
    // (Wayland): a window there only chooses its size.
    static bool canPlaceWindows();

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    // The window manager put a frame around the window, or changed it.
    void changed();

private:
    bool read();

    QWidget *m_window;
    QMargins m_margins;  // as noted, in device pixels
    quint32 m_atom = 0;  // the note's name on an X11 display; 0 elsewhere
    bool m_read = false;
};
