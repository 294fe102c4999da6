// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_form.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QStyleFactory>
#include <cstdio>
#include <xcb/xcb.h>

namespace {

// Errors are caught in every handler of the window; this is only the last line of defence, so
// that nothing unwinds through Qt's own frames.
class Application : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "awardsync: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "awardsync: unexpected failure\n");
        }
        return false;
    }
};

// Without a window manager, a tool may destroy the window outright instead of asking it to close.
// That is taken as a close request too, so that the settings are still written and the program ends.
class WindowDestroyedFilter : public QAbstractNativeEventFilter {
public:
    explicit WindowDestroyedFilter(QWidget& window) : window_(window), id_(window.winId()) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY &&
            reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == id_) {
            QMetaObject::invokeMethod(&window_, &QWidget::close, Qt::QueuedConnection);
        }
        return false;
    }

private:
    QWidget& window_;
    WId id_;
};

} // namespace

int main(int argc, char** argv) {
    Application app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    TMainForm form;
    form.show();
    WindowDestroyedFilter destroyedFilter(form);
    app.installNativeEventFilter(&destroyedFilter);
    return QApplication::exec();
}
