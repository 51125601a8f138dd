#include <QCoreApplication>
#include <QFileInfo>

#include "app/startup.h"

int main(int argc, char *argv[])
{
    // The program's directory holds tools.ini and the database alias file.
    const QString programDir = QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath();
    return runKrodalin(argc, argv, programDir);
}
