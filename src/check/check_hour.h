// The check hour: whole hours since a fixed local moment (27 February 1984,
// 00:00:02, taken as daylight-saving time). The engine stores it in
// Mirefold/OwerCheckTm to tell when the lists were last refreshed in the
// background.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace mf {

// The reference moment as the local-time conversion of this system sees it.
std::time_t CheckHourOrigin();
std::int64_t CheckHourAt(std::time_t now);
std::int64_t CurrentCheckHour();

// The stored form: a signed 32-bit decimal number.
std::wstring CheckHourText(std::int64_t hour);

// More than 48 hours between two check hours, either way.
bool CheckHoursFarApart(std::int64_t a, std::int64_t b);

}  // namespace mf
