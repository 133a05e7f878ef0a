// Orvane: one window for local trend fits and gravity gradients of a survey.

#include <QApplication>
#include <QScreen>
#include <clocale>

#include "orvw/main_window.h"

int main(int argc, char* argv[]) {
    // The user's number format decides the decimal separator of fields and files.
    std::setlocale(LC_ALL, "");
    QApplication application(argc, argv);
    TfrmMain frmMain;
    if (const QScreen* screen = frmMain.screen()) frmMain.fitScreen(screen->availableGeometry());
    frmMain.show();
    return application.exec();
}
