// MakerApplication: the maker's application object.
#include "maker/jobs/ui/maker_application.h"

#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <exception>

#include "maker/jobs/pipeline_host.h"
#include "maker/settings/maker_texts.h"

MakerApplication::MakerApplication(int& argc, char** argv) : QApplication(argc, argv) {
  showHandlerError = [this](const QString& text) {
    // In the windows' language, as every box of the maker.
    const MakerTexts texts = ActiveMakerTexts();
    auto* box = new QMessageBox(QMessageBox::Critical, QString::fromStdString(texts.Shown(kMakerErrorCaption)),
                                QString::fromStdString(texts.Shown(text.toStdString())), QMessageBox::Ok,
                                QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box_ = box;
    box->open();
  };
}

MakerApplication::~MakerApplication() = default;

bool MakerApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ReportHandlerFailure(QString::fromUtf8(e.what()));
  } catch (...) {
    ReportHandlerFailure(QString());
  }
  return false;
}

void MakerApplication::ReportHandlerFailure(const QString& failure) {
  const QString text = failure.isEmpty() ? QStringLiteral("ERROR: An unexpected error of unknown kind occurred.") : failure;
  if (auto* app = dynamic_cast<MakerApplication*>(QCoreApplication::instance())) {
    app->HandlerFailed(text);
    return;
  }
  std::fprintf(stderr, "zbmaker: %s\n", text.toLocal8Bit().constData());
}

void MakerApplication::HandlerFailed(const QString& text) {
  std::fprintf(stderr, "zbmaker: %s\n", text.toLocal8Bit().constData());
  if (box_ != nullptr || boxPending_) return;
  // Shown from the loop, once the failed handler's callers have unwound; a box opened
  // inside them (in a paint or a layout) would run into their half-done work.
  boxPending_ = true;
  QTimer::singleShot(0, this, [this, text] {
    boxPending_ = false;
    if (showHandlerError) showHandlerError(text);
  });
}
