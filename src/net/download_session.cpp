#include "net/download_session.h"

#include "net/part_transfer.h"

namespace mf {

DownloadSession::DownloadSession() : root_(OpenDownloadAgent()) {}

}  // namespace mf
