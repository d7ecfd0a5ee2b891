// Prints what SysInfo reports, for tests that change the version Wine tells
// this program: "class=<n> name=<os name> server=<0|1>".
#include <cstdio>

#include "foundation/sys_info.h"

int main() {
    std::printf("class=%d name=%s server=%d\n", SysInfo::getWindowsVersion(), SysInfo::getOsName().c_str(),
                SysInfo::isServer() ? 1 : 0);
    return 0;
}
