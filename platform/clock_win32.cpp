#include <windows.h>

#include <ctime>

#include "platform/clock.h"
#include "platform/wide_text.h"

namespace pellvane {

std::time_t SystemClock::Now() const { return std::time(nullptr); }

std::string FormatTimestamp(std::time_t t) {
  std::tm local{};
  localtime_s(&local, &t);
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(local.tm_year + 1900);
  st.wMonth = static_cast<WORD>(local.tm_mon + 1);
  st.wDay = static_cast<WORD>(local.tm_mday);
  st.wDayOfWeek = static_cast<WORD>(local.tm_wday);
  st.wHour = static_cast<WORD>(local.tm_hour);
  st.wMinute = static_cast<WORD>(local.tm_min);
  st.wSecond = static_cast<WORD>(local.tm_sec);
  wchar_t date[128] = {};
  wchar_t time[128] = {};
  GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128, nullptr);
  std::string text = Narrow(date);
  if (st.wHour != 0 || st.wMinute != 0 || st.wSecond != 0) {
    GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, time, 128);
    text += ' ';
    text += Narrow(time);
  }
  return text;
}

}  // namespace pellvane
