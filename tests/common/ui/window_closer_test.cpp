// Tests of WindowCloser, offscreen: a close from outside while modal boxes are up, and
// SIGTERM or SIGINT as a close.
#include "common/ui/window_closer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "common/ui/qt_main_loop.h"

namespace {

// A main window that notes when its close handling runs, next to the log of the boxes.
class Window : public QWidget {
 public:
  explicit Window(std::vector<std::string>& log) : log_(log) {}
  bool closed = false;

 protected:
  void closeEvent(QCloseEvent* event) override {
    log_.push_back("window closed");
    closed = true;
    event->accept();
  }

 private:
  std::vector<std::string>& log_;
};

}  // namespace

// Catches a close that waits for the person to answer the boxes (it must take them down),
// a window closed while the code that opened a box still runs (its close would then wait
// for workers inside that box's loop), and boxes opened inside boxes left up.
TEST(WindowCloser, ClosesNestedModalBoxesThenTheWindowAfterTheirCodeHasReturned) {
  std::vector<std::string> log;
  Window window(log);
  window.show();
  WindowCloser closer(window);
  QDialog outer(&window);
  outer.setModal(true);
  QMessageBox* inner = nullptr;
  QTimer::singleShot(0, &window, [&] {
    QTimer::singleShot(0, &outer, [&] {
      inner = new QMessageBox(QMessageBox::Critical, "zbmaker (Zimbar MP3 Maker) Error", "ERROR: something", QMessageBox::Ok,
                              &outer);
      QTimer::singleShot(20, inner, [&] { closer.Request(); });
      inner->exec();
      // The code that opened the box goes on for a while, turning the loop meanwhile.
      QTest::qWait(50);
      log.push_back("inner box returned");
    });
    const int result = outer.exec();
    log.push_back(result == QDialog::Rejected ? "outer box cancelled" : "outer box accepted");
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.closed; }, 5000));
  EXPECT_EQ(log, (std::vector<std::string>{"inner box returned", "outer box cancelled", "window closed"}));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  delete inner;
}

// Catches a signal (SIGINT, SIGTERM, SIGHUP) that kills the program (nothing saved), one
// that does not close the window, a close that waits for a box to be answered, and a later
// signal that replaces the first one's number (the exit status tells which one ended the
// program).
TEST(WindowCloser, TerminationSignalsCloseTheWindowAndTheFirstIsKept) {
  QtMainLoop loop;
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(number);
    std::vector<std::string> log;
    Window window(log);
    window.show();
    WindowCloser closer(window);
    closer.CloseOnTerminationSignals(loop);
    EXPECT_EQ(closer.TerminationSignal(), 0);
    QTimer::singleShot(0, &window, [&] {
      QMessageBox box(QMessageBox::Question, "zbmaker Confirmation", "Overwrite?", QMessageBox::Yes | QMessageBox::No,
                      &window);
      QTimer::singleShot(20, &box, [number] {
        ::raise(number);
        ::raise(number == SIGTERM ? SIGINT : SIGTERM);  // a second one joins the first's close
      });
      log.push_back(box.exec() == QMessageBox::No ? "answered No" : "answered otherwise");
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.closed; }, 5000));
    EXPECT_EQ(log, (std::vector<std::string>{"answered No", "window closed"}));
    EXPECT_EQ(closer.TerminationSignal(), number);
  }
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
