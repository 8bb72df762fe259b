// The short reply of a list URL in version query mode, from the server.
#include "check/version_reply.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring joined = mf::JoinReplyLines(mf::fuzz::Bytes(data, size));
    const mf::VersionReply reply = mf::ParseVersionReply(joined);
    for (const std::wstring& url : reply.listUrls)
        if (url.size() > joined.size()) mf::fuzz::Broken("a list URL longer than the reply");
    return 0;
}
