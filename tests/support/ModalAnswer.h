// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Answers a modal dialog from inside its own event loop. Header only: the core's tests do
// not link the widgets.

#include <QApplication>
#include <QTimer>

#include <functional>

namespace ModalAnswer {

// Once a modal dialog of type Dialog is open, `answer` gets it (and must close it).
template <class Dialog>
void next(std::function<void(Dialog*)> answer)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
        }
    });
    timer->start(10);
}

} // namespace ModalAnswer
