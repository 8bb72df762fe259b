// Where the machine identifier's values come from: WMI first; when that
// answers without data, the processor signature, the first disk's identify
// data and the adapter list, read directly.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <ntdddisk.h>
#include <ntddscsi.h>
#include <wbemcli.h>
#include <winioctl.h>

#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/com_text.h"
#include "base/handles.h"
#include "base/strings.h"
#include "engine/machine_id.h"

namespace mf {

namespace {

// Diagnostics of the WMI method go to the standard output only: the
// identifier's absence is not an error the user could act on.
void Diagnose(const char* text) { std::fprintf(stdout, "%s\n", text); }

// ---- WMI -------------------------------------------------------------------

// The named property of the first object a query returns; nullopt when the
// query, the object or the property is missing or not text.
std::optional<std::wstring> FirstProperty(IWbemServices* services, const wchar_t* query, const wchar_t* property) {
    ComPtr<IEnumWbemClassObject> results;
    const Bstr language(L"WQL");
    const Bstr text(query);
    if (FAILED(services->ExecQuery(language.get(), text.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                   nullptr, &results)) ||
        !results)
        return std::nullopt;
    ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    if (results->Next(static_cast<LONG>(WBEM_INFINITE), 1, &object, &returned) != WBEM_S_NO_ERROR || returned == 0 ||
        !object)
        return std::nullopt;
    OwnedVariant value;
    if (FAILED(object->Get(property, 0, value.put(), nullptr, nullptr)) || value.get().vt != VT_BSTR)
        return std::nullopt;
    return value.text();
}

}  // namespace

std::optional<MachineSources> ReadWmiSources() {
    const ComInit com(COINIT_MULTITHREADED);
    // A thread already in an apartment can still use WMI through it.
    if (FAILED(com.result()) && com.result() != RPC_E_CHANGED_MODE) {
        Diagnose("Failed to initialize COM library.");
        return std::nullopt;
    }
    ComPtr<IWbemLocator> locator;
    if (FAILED(::CoCreateInstance(__uuidof(WbemLocator), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWbemLocator),
                                  reinterpret_cast<void**>(locator.GetAddressOf())))) {
        Diagnose("Failed to create IWbemLocator object.");
        return std::nullopt;
    }
    ComPtr<IWbemServices> services;
    const Bstr space(L"ROOT\\CIMV2");
    if (FAILED(locator->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services))) {
        Diagnose("Could not connect to WMI namespace ROOT\\CIMV2.");
        return std::nullopt;
    }
    if (FAILED(::CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                   RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
        Diagnose("Could not set proxy blanket.");
        return std::nullopt;
    }

    const std::optional<std::wstring> processor =
        FirstProperty(services.Get(), L"Select * from Win32_Processor", L"ProcessorId");
    if (!processor) Diagnose("Query for ProcessorId failed.");
    const std::optional<std::wstring> mac = FirstProperty(
        services.Get(),
        L"Select * from Win32_NetworkAdapter WHERE (MACAddress IS NOT NULL) AND (NOT (PNPDeviceID LIKE 'ROOT%'))",
        L"MACAddress");
    if (!mac) Diagnose("Query for MACAddress failed.");
    const std::optional<std::wstring> disk =
        FirstProperty(services.Get(), L"Select * from Win32_DiskDrive", L"SerialNumber");
    if (!disk) Diagnose("Query for SerialNumber failed.");
    return SourcesFromWmiValues(processor, mac.value_or(L""), disk.value_or(L""));
}

namespace {

// ---- processor -------------------------------------------------------------

// Leaf 1 of the processor identification: feature flags, then signature.
std::wstring ProcessorSignature() {
    unsigned int regs[4] = {};
#if defined(_MSC_VER)
    int info[4] = {};
    __cpuid(info, 1);
    for (int i = 0; i < 4; ++i) regs[i] = static_cast<unsigned int>(info[i]);
#else
    if (!__get_cpuid(1, &regs[0], &regs[1], &regs[2], &regs[3])) return {};
#endif
    wchar_t text[17] = {};
    std::swprintf(text, 17, L"%08X%08X", regs[3], regs[0]);
    return text;
}

// ---- first physical disk ---------------------------------------------------

constexpr std::size_t kIdentifySize = 512;
// Words 10 to 19 of the ATA identify data hold the serial number, two
// characters per word with the first in the high byte.
constexpr std::size_t kSerialOffset = 20;
constexpr std::size_t kSerialLength = 20;
// The SCSI port's miniport identify request (not in every SDK's headers).
constexpr DWORD kFileDeviceScsi = 0x0000001B;
constexpr DWORD kScsiMiniportIdentify = (kFileDeviceScsi << 16) + 0x0501;

std::wstring SerialFromIdentify(const unsigned char* data, std::size_t size) {
    if (size < kSerialOffset + kSerialLength) return {};
    std::string serial;
    for (std::size_t i = kSerialOffset; i < kSerialOffset + kSerialLength; i += 2) {
        serial.push_back(static_cast<char>(data[i + 1]));
        serial.push_back(static_cast<char>(data[i]));
    }
    const std::size_t end = serial.find('\0');
    if (end != std::string::npos) serial.resize(end);
    return Trim(Widen(serial));
}

UniqueFile OpenDevice(const wchar_t* name, DWORD access) {
    return UniqueFile(
        ::CreateFileW(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
}

void FillIdentifyCommand(SENDCMDINPARAMS& in) {
    in.cBufferSize = kIdentifySize;
    in.irDriveRegs.bSectorCountReg = 1;
    in.irDriveRegs.bSectorNumberReg = 1;
    in.irDriveRegs.bDriveHeadReg = 0xA0;
    in.irDriveRegs.bCommandReg = ID_CMD;
    in.bDriveNumber = 0;
}

// The SMART identify request on the physical drive.
std::wstring SerialBySmart() {
    const UniqueFile drive = OpenDevice(L"\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE);
    if (!drive) return {};
    GETVERSIONINPARAMS version{};
    DWORD bytes = 0;
    if (!::DeviceIoControl(drive.get(), SMART_GET_VERSION, nullptr, 0, &version, sizeof version, &bytes, nullptr))
        return {};
    SENDCMDINPARAMS in{};
    FillIdentifyCommand(in);
    std::vector<unsigned char> out(sizeof(SENDCMDOUTPARAMS) + kIdentifySize);
    if (!::DeviceIoControl(drive.get(), SMART_RCV_DRIVE_DATA, &in, sizeof in - 1, out.data(),
                           static_cast<DWORD>(out.size()), &bytes, nullptr))
        return {};
    const std::size_t data = offsetof(SENDCMDOUTPARAMS, bBuffer);
    if (bytes <= data) return {};
    return SerialFromIdentify(out.data() + data, std::min<std::size_t>(bytes, out.size()) - data);
}

// The identify request through the SCSI port's miniport.
std::wstring SerialByScsiMiniport() {
    const UniqueFile port = OpenDevice(L"\\\\.\\Scsi0:", GENERIC_READ | GENERIC_WRITE);
    if (!port) return {};
    const std::size_t commandAt = sizeof(SRB_IO_CONTROL);
    std::vector<unsigned char> buffer(commandAt + sizeof(SENDCMDOUTPARAMS) + kIdentifySize);
    auto* control = reinterpret_cast<SRB_IO_CONTROL*>(buffer.data());
    control->HeaderLength = sizeof(SRB_IO_CONTROL);
    std::memcpy(control->Signature, "SCSIDISK", 8);
    control->Timeout = 10;
    control->Length = static_cast<ULONG>(sizeof(SENDCMDOUTPARAMS) + kIdentifySize);
    control->ControlCode = kScsiMiniportIdentify;
    SENDCMDINPARAMS in{};
    FillIdentifyCommand(in);
    std::memcpy(buffer.data() + commandAt, &in, sizeof in - 1);
    DWORD bytes = 0;
    if (!::DeviceIoControl(port.get(), IOCTL_SCSI_MINIPORT, buffer.data(),
                           static_cast<DWORD>(commandAt + sizeof in - 1), buffer.data(),
                           static_cast<DWORD>(buffer.size()), &bytes, nullptr))
        return {};
    const std::size_t data = commandAt + offsetof(SENDCMDOUTPARAMS, bBuffer);
    if (bytes <= data) return {};
    return SerialFromIdentify(buffer.data() + data, std::min<std::size_t>(bytes, buffer.size()) - data);
}

// The storage stack's device descriptor, which needs no access rights.
std::wstring SerialByStorageQuery() {
    const UniqueFile drive = OpenDevice(L"\\\\.\\PhysicalDrive0", 0);
    if (!drive) return {};
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<unsigned char> out(4096);
    DWORD bytes = 0;
    if (!::DeviceIoControl(drive.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, out.data(),
                           static_cast<DWORD>(out.size()), &bytes, nullptr) ||
        bytes < sizeof(STORAGE_DEVICE_DESCRIPTOR))
        return {};
    const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(out.data());
    const std::size_t at = descriptor->SerialNumberOffset;
    if (at == 0 || at >= bytes) return {};
    const auto* begin = reinterpret_cast<const char*>(out.data() + at);
    const std::size_t length = strnlen(begin, bytes - at);
    return Trim(Widen(std::string_view(begin, length)));
}

// The identify command passed straight to the ATA device.
std::wstring SerialByAtaPassThrough() {
    const UniqueFile drive = OpenDevice(L"\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE);
    if (!drive) return {};
    std::vector<unsigned char> buffer(sizeof(ATA_PASS_THROUGH_EX) + kIdentifySize);
    auto* pass = reinterpret_cast<ATA_PASS_THROUGH_EX*>(buffer.data());
    pass->Length = sizeof(ATA_PASS_THROUGH_EX);
    pass->AtaFlags = ATA_FLAGS_DATA_IN | ATA_FLAGS_DRDY_REQUIRED;
    pass->DataTransferLength = kIdentifySize;
    pass->TimeOutValue = 10;
    pass->DataBufferOffset = sizeof(ATA_PASS_THROUGH_EX);
    pass->CurrentTaskFile[6] = ID_CMD;
    DWORD bytes = 0;
    if (!::DeviceIoControl(drive.get(), IOCTL_ATA_PASS_THROUGH, buffer.data(), static_cast<DWORD>(buffer.size()),
                           buffer.data(), static_cast<DWORD>(buffer.size()), &bytes, nullptr) ||
        bytes <= sizeof(ATA_PASS_THROUGH_EX))
        return {};
    return SerialFromIdentify(buffer.data() + sizeof(ATA_PASS_THROUGH_EX),
                              std::min<std::size_t>(bytes, buffer.size()) - sizeof(ATA_PASS_THROUGH_EX));
}

std::wstring FirstDiskSerial() {
    for (auto query : {SerialBySmart, SerialByScsiMiniport, SerialByStorageQuery, SerialByAtaPassThrough}) {
        std::wstring serial = query();
        if (!serial.empty()) return serial;
    }
    return {};
}

// ---- network adapter ---------------------------------------------------------

std::wstring AdapterAddressText(const IP_ADAPTER_INFO& adapter) {
    std::wstring text;
    const UINT length = std::min<UINT>(adapter.AddressLength, MAX_ADAPTER_ADDRESS_LENGTH);
    for (UINT i = 0; i < length; ++i) {
        wchar_t hex[3] = {};
        std::swprintf(hex, 3, L"%02X", adapter.Address[i]);
        text += hex;
    }
    return text;
}

// The first Ethernet adapter on the PCI bus, else the first adapter.
std::wstring AdapterAddress() {
    ULONG size = 16 * sizeof(IP_ADAPTER_INFO);
    std::vector<unsigned char> buffer;
    DWORD result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(size, 0);
        result = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    }
    if (result != ERROR_SUCCESS) return {};
    const auto* first = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data());
    for (const IP_ADAPTER_INFO* adapter = first; adapter != nullptr; adapter = adapter->Next) {
        if (adapter->Type == MIB_IF_TYPE_ETHERNET && std::strstr(adapter->Description, "PCI") != nullptr)
            return AdapterAddressText(*adapter);
    }
    return AdapterAddressText(*first);
}

}  // namespace

MachineSources ReadDeviceSources() {
    MachineSources sources;
    sources.processor = ProcessorSignature();
    sources.disk = FirstDiskSerial();
    sources.adapter = AdapterAddress();
    return sources;
}

}  // namespace mf
