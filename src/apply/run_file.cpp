#include "apply/run_file.h"

#include "base/run_program.h"

namespace mf {

bool RunFile(const std::wstring& path, const std::wstring& parameters, bool wait, int show) {
    return RunProgram(path, parameters, wait, show);
}

}  // namespace mf
