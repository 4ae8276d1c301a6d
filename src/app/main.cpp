#include <QApplication>

#include "app/Halvane.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    halvane::Halvane window;
    window.show();
    return QApplication::exec();
}
