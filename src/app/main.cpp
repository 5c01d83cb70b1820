#include "app/FNWApplication.h"
#include "app/FNWScreenshot.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    // Without a display Qt would abort in its platform plugin; say what to do instead.
    if (!FNWApplication::haveDisplay()) {
        std::fprintf(stderr,
                     "fenwave: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Start it from a desktop session, or without one under a virtual display:\n"
                     "    xvfb-run -a %s\n",
                     argv[0]);
        return 1;
    }
    QApplication app(argc, argv);
    FNWApplication application(app);
    application.launch();
    FNWScreenshot::startIfRequested(application.mainWindow());
    return application.exec();
}
