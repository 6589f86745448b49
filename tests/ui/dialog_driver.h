// Driving a modal dialog from a test: answer it once it shows, find its controls by name.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>

// Runs `answer` on the modal dialog of type T once the event loop shows it; a dialog of another
// type is a failure and is closed, so the test does not hang.
template <class T> void whenShown(std::function<void(T&)> answer) {
    QTimer::singleShot(0, [answer] {
        auto* d = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!d) {
            ADD_FAILURE() << "no modal dialog of the expected type";
            if (auto* w = QApplication::activeModalWidget()) w->close();
            return;
        }
        answer(*d);
    });
}
inline void whenShown(std::function<void(QDialog&)> answer) {
    whenShown<QDialog>(std::move(answer));
}

// The control of type T whose accessible name or text is `name`.
template <class T> T* control(QWidget& parent, const QString& name) {
    for (T* c : parent.findChildren<T*>()) {
        if (c->accessibleName() == name) return c;
        if constexpr (requires { c->text(); })
            if (c->text() == name) return c;
    }
    ADD_FAILURE() << "no control " << name.toStdString();
    return nullptr;
}
