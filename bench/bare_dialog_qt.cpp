// SPDX-License-Identifier: MIT
// A bare Qt dialog with the text of `tavik T3 12` without a transmitter, that ends as soon as it
// is shown: what the window's start is measured against.
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("TAVIK"));
    auto* log = new QListWidget(&dialog);
    log->addItems({QStringLiteral("デバイスが見付かりません。"), QStringLiteral("tavik T3 12")});
    (new QVBoxLayout(&dialog))->addWidget(log);
    dialog.show();
    // Queued: runs once the event loop has shown the dialog.
    QMetaObject::invokeMethod(&app, "quit", Qt::QueuedConnection);
    return app.exec();
}
