// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Answers a modal dialog from inside its own event loop: the widget tests call a method
// that runs exec() and answer what it opened. Header only: the core's tests do not link
// the widgets.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace ModalAnswer {

// Once a modal dialog of type Dialog is open, `answer` gets it (and must close it).
template <class Dialog>
void next(std::function<void(Dialog*)> answer)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        answer(dialog);
    });
    timer->start();
}

} // namespace ModalAnswer
