#include "WindowProgram.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <unistd.h>

namespace quorvane {

int BecomeWindowProgram(char** argv, std::ostream& err)
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path here = self.parent_path();
    for (const std::filesystem::path& program :
         {here / "quorvane-window", here / ".." / "lib" / "quorvane" / "quorvane-window"}) {
        if (::access(program.c_str(), X_OK) == 0) {
            ::execv(program.c_str(), argv);
            err << "quorvane: 无法启动 " << program.string() << ": " << std::strerror(errno)
                << "\n";
            return 1;
        }
    }
    err << "quorvane: 找不到窗口程序 quorvane-window(它应与 quorvane 安装在一起)\n";
    return 1;
}

} // namespace quorvane
