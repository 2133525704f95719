#include "platform/windowframe.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef SHASHIN_WITH_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

xcb_connection_t *x11Connection()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace
#endif

WindowFrame::WindowFrame(QWidget *window)
    : QObject(window)
    , m_window(window)
{
#ifdef SHASHIN_WITH_XCB
    if (xcb_connection_t *connection = x11Connection()) {
        static const char kName[] = "_NET_FRAME_EXTENTS";
        xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(kName), kName), nullptr);
        if (reply) {
            m_atom = reply->atom;
            std::free(reply);
            QCoreApplication::instance()->installNativeEventFilter(this);
        }
    }
#endif
}

WindowFrame::~WindowFrame()
{
    if (m_atom != 0)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

QMarginsF WindowFrame::margins()
{
    if (m_atom != 0) {
        if (!m_read && m_window->testAttribute(Qt::WA_WState_Created))
            read();  // a note made before anyone listened
        return QMarginsF(m_margins) / m_window->devicePixelRatioF();
    }
    const QRect outer = m_window->frameGeometry();
    const QRect inner = m_window->geometry();
    return QMarginsF(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                     outer.bottom() - inner.bottom());
}

bool WindowFrame::canPlaceWindows()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool WindowFrame::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
#ifdef SHASHIN_WITH_XCB
    if (eventType != "xcb_generic_event_t" || !m_window->testAttribute(Qt::WA_WState_Created))
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto *property = reinterpret_cast<const xcb_property_notify_event_t *>(event);
    if (property->atom == m_atom && property->window == m_window->winId() && read())
        emit changed();
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false;  // Qt handles the event as usual
}

bool WindowFrame::read()
{
    m_read = true;
    QMargins margins;
#ifdef SHASHIN_WITH_XCB
    xcb_connection_t *connection = x11Connection();
    const auto window = xcb_window_t(m_window->winId());
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, m_atom, XCB_ATOM_CARDINAL, 0, 4), nullptr);
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 16) {
        const auto *extents = static_cast<const quint32 *>(xcb_get_property_value(reply));
        margins = QMargins(int(extents[0]), int(extents[2]), int(extents[1]), int(extents[3]));  // left, right, top, bottom
    }
    std::free(reply);
#endif
    if (margins == m_margins)
        return false;
    m_margins = margins;
    return true;
}
