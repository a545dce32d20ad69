// Driving modal windows from a test: the test arms an action, then opens the window (its
// exec() blocks); the action runs from the window's own event loop once it is up.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// Runs `action` once, when a visible modal window of type T is the active modal widget.
// When none shows within 10 s, whatever modal window is up is closed, so that a broken
// window fails its test instead of hanging it.
template <class T>
void OnModal(std::function<void(T*)> action) {
  auto* timer = new QTimer;
  auto* clock = new QElapsedTimer;
  clock->start();
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, clock, action] {
    auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!window || !window->isVisible()) {
      if (clock->elapsed() < 10000) return;
      ADD_FAILURE() << "the expected modal window did not show";
      if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) other->reject();
    }
    timer->stop();
    timer->deleteLater();
    delete clock;
    if (window && window->isVisible()) action(window);
  });
  timer->start();
}
