// The process-wide list of records to process. (Placeholder until the update
// file list lands.)
#pragma once

#include <string>

namespace mf {

class DownLoadList {
public:
    [[nodiscard]] int GetSize() const { return 0; }
    [[nodiscard]] int Status() const { return status_; }
    void SetStatusCode(int status) { status_ = status; }

private:
    int status_ = 0;
};

}  // namespace mf
