// The machine identifier: nine characters that the product's servers use to
// tell installations apart, made from the processor id, the first disk's
// serial number and a network adapter's physical address. Computed once on
// the main thread at start-up, read-only afterwards; and the practice-center
// address that carries it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mf {

// What "no hardware data found" composes to; it makes the identifier fall
// back to reading the devices directly.
inline constexpr const wchar_t* kNoHardwareIdentifier = L"000000000";

// The three sources as one method read them; empty when not found.
struct MachineSources {
    std::wstring processor;
    std::wstring disk;
    std::wstring adapter;
};

// The sources from the WMI property values as read (nullopt: the property
// could not be read): an unreadable processor id counts as "000000000", and
// the adapter address loses its ":" separators.
MachineSources SourcesFromWmiValues(const std::optional<std::wstring>& processorId, const std::wstring& macAddress,
                                    const std::wstring& diskSerial);

// Last three characters of the processor id, the disk serial and the adapter
// address (short or missing ones filled), made of digits and upper-case
// letters only ("S" for anything else, counted in ANSI bytes).
std::wstring ComposeMachineIdentifier(const MachineSources& sources);

// The first method's sources through WMI; nullopt when COM or WMI cannot be
// used at all.
std::optional<MachineSources> ReadWmiSources();
// The second method's sources: the processor signature, the first physical
// disk's identify data and the adapter list.
MachineSources ReadDeviceSources();

// The rule that joins the methods: no identifier when the first cannot be
// used; the second method when the first found no hardware data.
std::wstring MachineIdentifierFrom(const std::function<std::optional<MachineSources>()>& firstMethod,
                                   const std::function<MachineSources()>& secondMethod);

// Computes the identifier with the real methods and keeps it for the process.
void ComputeMachineIdentifier();
// The kept identifier (empty before ComputeMachineIdentifier or when WMI
// was unusable).
std::wstring MachineIdentifier();

// The practice page of the product on the practice-center server, carrying
// the identifier. `packageIds` are the set ids of the companion files that
// exist (the set's file first); values are inserted as configured.
std::wstring PracticeCenterAddressWith(const std::wstring& server, const std::wstring& planId,
                                       const std::wstring& identifier, const std::wstring& agentName,
                                       const std::vector<std::wstring>& packageIds);
// The same from the configuration, the companion files and the kept
// identifier.
std::wstring PracticeCenterAddress();

}  // namespace mf
