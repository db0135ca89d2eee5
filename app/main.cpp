#include <QApplication>

#include "app/MarrowixApp.h"
#include "platform/ProcessMemory.h"

int main(int argc, char** argv) {
    marrowix::KeepFreedMemoryForReuse();
    QApplication application(argc, argv);
    return marrowix::theApp.InitInstance() ? 0 : 1;
}
