// Where a product finds the update server when its configuration does not
// say: the engine-wide main list, the digest service and the sample list
// that the configuration prompt writes.
#pragma once

namespace mf {

inline constexpr const wchar_t* kDefaultMainListUrl = L"http://update.mirefold.net/mirefold.xml";
inline constexpr const wchar_t* kDefaultDigestServiceUrl =
    L"http://update.mirefold.net/ManagerCenter/Ajax/FileMd5Handle.aspx";
inline constexpr const wchar_t* kSampleListUrl = L"http://update.mirefold.net/update/mirefolden.xml";

}  // namespace mf
