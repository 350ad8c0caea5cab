// The program on QtWebKit.
#include "appmainwindow.h"
#include "shell/program.h"
#include "sitespecificcookiejar.h"

int main(int argc, char* argv[])
{
    Engine engine;
    engine.createMainWindow = [] { return std::make_unique<AppMainWindow>(); };
    engine.savePendingCookies = [] { SiteSpecificCookieJar::instance()->savePending(); };
    return runProgram(argc, argv, engine);
}
