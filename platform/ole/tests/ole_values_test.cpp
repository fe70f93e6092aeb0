#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "platform/mfc/cmemfile.h"
#include "platform/ole/coleexception.h"
#include "platform/ole/colevariant.h"

namespace {

// Sets TZ for one test and restores the previous zone.
class ZoneGuard {
 public:
  explicit ZoneGuard(const char* zone) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneGuard() {
    if (had_) {
      setenv("TZ", old_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

// The eastern zone of the United States with the rules in force since 2007, written out so
// that no time zone database is needed.
constexpr const char* kEastern = "EST5EDT,M3.2.0,M11.1.0";

std::vector<BYTE> Store(const COleVariant& v) {
  CMemFile file;
  {
    CArchive ar(&file, CArchive::store);
    ar << v;
    ar.Close();
  }
  const DWORD n = file.GetLength();
  BYTE* block = file.Detach();
  std::vector<BYTE> bytes(block, block + n);
  std::free(block);
  return bytes;
}

// Loads one variant; the archive exception's cause, or -1 when it loaded.
int Load(std::vector<BYTE> bytes, COleVariant* out) {
  CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
  CArchive ar(&file, CArchive::load);
  try {
    ar >> *out;
  } catch (CArchiveException* e) {
    const int cause = e->m_cause;
    e->Delete();
    ar.Abort();
    return cause;
  }
  ar.Close();
  return -1;
}

TEST(COleVariant, TextConstructorsMakeWideOrSingleByteStrings) {
  COleVariant wide("caf\xE9 \x80");
  ASSERT_EQ(wide.vt, VT_BSTR);
  EXPECT_EQ(halyard::ole::BstrView(wide.bstrVal), u"caf\u00E9 \u20AC");
  COleVariant ansi("caf\xE9", VT_BSTRT);
  ASSERT_EQ(ansi.vt, VT_BSTR);
  EXPECT_EQ(SysStringByteLen(ansi.bstrVal), 4u);
  EXPECT_STREQ(reinterpret_cast<const char*>(ansi.bstrVal), "caf\xE9");
  COleVariant fromCString(CString("a\0b", 3));
  EXPECT_EQ(halyard::ole::BstrView(fromCString.bstrVal), std::u16string(u"a\0b", 3));
  COleVariant none(static_cast<LPCTSTR>(nullptr));
  EXPECT_EQ(none.vt, VT_BSTR);
  EXPECT_EQ(none.bstrVal, nullptr);
  COleVariant copy(ansi);
  EXPECT_TRUE(copy == ansi);
  EXPECT_NE(copy.bstrVal, ansi.bstrVal);
  EXPECT_FALSE(copy == wide);
}

TEST(COleVariant, LongConstructorFollowsTheTypeCode) {
  COleVariant i4(42L);
  EXPECT_EQ(i4.vt, VT_I4);
  EXPECT_EQ(i4.lVal, 42);
  COleVariant err(static_cast<LONG>(DISP_E_PARAMNOTFOUND), VT_ERROR);
  EXPECT_EQ(err.vt, VT_ERROR);
  EXPECT_EQ(err.scode, DISP_E_PARAMNOTFOUND);
  COleVariant b(5L, VT_BOOL);
  EXPECT_EQ(b.vt, VT_BOOL);
  EXPECT_EQ(b.boolVal, VARIANT_TRUE);
  COleVariant s(static_cast<short>(0), VT_BOOL);
  EXPECT_EQ(s.boolVal, VARIANT_FALSE);
  COleVariant odd(7L, VT_R8);  // a code the constructor does not take gives VT_I4
  EXPECT_EQ(odd.vt, VT_I4);
}

TEST(COleVariant, ATimeTWithTheDateCodeReadsBackAsTheSameLocalTime) {
  ZoneGuard zone(kEastern);
  // 10 January 1998 00:00:01 EST is 05:00:01 UTC.
  const time_t t = 884408401;
  COleVariant v(static_cast<LONG>(t), VT_DATE);
  ASSERT_EQ(v.vt, VT_DATE);
  COleDateTime d(static_cast<const VARIANT&>(v));
  ASSERT_EQ(d.GetStatus(), COleDateTime::valid);
  EXPECT_EQ(d.GetYear(), 1998);
  EXPECT_EQ(d.GetMonth(), 1);
  EXPECT_EQ(d.GetDay(), 10);
  EXPECT_EQ(d.GetHour(), 0);
  EXPECT_EQ(d.GetMinute(), 0);
  EXPECT_EQ(d.GetSecond(), 1);
  time_t back = 0;
  ASSERT_TRUE(d.GetAsTimeT(back));
  EXPECT_EQ(back, t);
}

TEST(COleDateTime, LocalTimeFollowsDaylightSavingChanges) {
  ZoneGuard zone(kEastern);
  // 14 March 2021: 01:59:59 EST is followed by 03:00:00 EDT.
  const time_t before = 1615705199;  // 06:59:59 UTC
  COleDateTime a(before);
  COleDateTime b(before + 1);
  EXPECT_EQ(a.Format(), CString("3/14/2021 1:59:59 AM"));
  EXPECT_EQ(b.Format(), CString("3/14/2021 3:00:00 AM"));
  // One second apart as instants, an hour and a second apart as local dates.
  EXPECT_NEAR((b - a).GetTotalSeconds(), 3601.0, 1e-6);
  time_t t = 0;
  ASSERT_TRUE(b.GetAsTimeT(t));
  EXPECT_EQ(t, before + 1);
  // 7 November 2021: 01:59:59 EDT is followed by 01:00:00 EST.
  const time_t fall = 1636264799;  // 05:59:59 UTC
  EXPECT_EQ(COleDateTime(fall).Format(), CString("11/7/2021 1:59:59 AM"));
  EXPECT_EQ(COleDateTime(static_cast<time_t>(fall + 1)).Format(), CString("11/7/2021 1:00:00 AM"));
  // Summer and winter noon UTC are different local hours.
  EXPECT_EQ(COleDateTime(static_cast<time_t>(1625140800)).GetHour(), 8);  // 1 July 2021
  EXPECT_EQ(COleDateTime(static_cast<time_t>(1609502400)).GetHour(), 7);  // 1 January 2021
  {
    ZoneGuard utc("UTC0");
    EXPECT_EQ(COleDateTime(static_cast<time_t>(1609502400)).GetHour(), 12);
  }
}

TEST(COleDateTime, TimeTRoundTripsExceptInTheRepeatedAutumnHour) {
  ZoneGuard zone(kEastern);
  const time_t spring = 1615705200;  // 14 March 2021 07:00 UTC, the change to summer time
  const time_t autumn = 1636264800;  // 7 November 2021 06:00 UTC, the change back
  for (time_t change : {spring, autumn}) {
    for (time_t t = change - 3 * 3600; t <= change + 3 * 3600; t += 900) {
      COleVariant v(static_cast<long>(t), VT_DATE);
      time_t back = 0;
      ASSERT_TRUE(COleDateTime(static_cast<const VARIANT&>(v)).GetAsTimeT(back));
      // Local 01:00-01:59 occurs twice in autumn; the local date cannot tell which is meant.
      const bool repeated = change == autumn && t >= change - 3600 && t < change + 3600;
      if (repeated) {
        EXPECT_TRUE(back == t || back == t - 3600 || back == t + 3600) << t;
      } else {
        EXPECT_EQ(back, t) << t;
      }
    }
  }
}

TEST(COleDateTime, PartsStatusAndTexts) {
  COleDateTime d(1998, 3, 10, 0, 0, 1);
  ASSERT_EQ(d.GetStatus(), COleDateTime::valid);
  EXPECT_DOUBLE_EQ(d.m_dt, 35864 + 1 / 86400.0);
  EXPECT_EQ(d.GetDayOfWeek(), 3);  // a Tuesday
  EXPECT_EQ(d.GetDayOfYear(), 69);
  EXPECT_EQ(d.Format("%Y-%m-%d %H:%M:%S %a %b"), CString("1998-03-10 00:00:01 Tue Mar"));
  EXPECT_EQ(d.Format(VAR_DATEVALUEONLY), CString("3/10/1998"));
  COleDateTime bad(1998, 2, 29, 0, 0, 0);
  EXPECT_EQ(bad.GetStatus(), COleDateTime::invalid);
  EXPECT_EQ(bad.GetDay(), AFX_OLE_DATETIME_ERROR);
  EXPECT_EQ(bad.Format(), CString("Invalid DateTime"));
  COleDateTime out(1e8);
  EXPECT_EQ(out.GetStatus(), COleDateTime::invalid);
  COleDateTime parsed;
  ASSERT_TRUE(parsed.ParseDateTime("12/31/1999 11:59:59 PM"));
  EXPECT_EQ(parsed.GetYear(), 1999);
  EXPECT_EQ(parsed.GetSecond(), 59);
  EXPECT_FALSE(parsed.ParseDateTime("not a date"));
  EXPECT_EQ(parsed.GetStatus(), COleDateTime::invalid);
  // From a variant of another type, through the conversions.
  COleVariant text("1/2/2000");
  EXPECT_EQ(COleDateTime(static_cast<const VARIANT&>(text)).GetDay(), 2);
  COleVariant number(36526.5);
  EXPECT_EQ(COleDateTime(static_cast<const VARIANT&>(number)).GetHour(), 12);
  COleVariant nothing;
  nothing.vt = VT_NULL;
  EXPECT_EQ(COleDateTime(static_cast<const VARIANT&>(nothing)).GetStatus(), COleDateTime::invalid);
}

TEST(COleDateTime, ArithmeticIsLinearAcrossDayZero) {
  COleDateTime noon(1899, 12, 30, 12, 0, 0);
  COleDateTime earlier = noon - COleDateTimeSpan(1, 6, 0, 0);  // 29 December, 06:00
  EXPECT_EQ(earlier.m_dt, -1.25);
  EXPECT_EQ(earlier.GetDay(), 29);
  EXPECT_EQ(earlier.GetHour(), 6);
  EXPECT_DOUBLE_EQ((noon - earlier).GetTotalHours(), 30.0);
  EXPECT_TRUE(earlier < noon);
  COleDateTime later = earlier + COleDateTimeSpan(0, 12, 0, 0);
  EXPECT_EQ(later.m_dt, -1.75);  // 29 December, 18:00
  EXPECT_TRUE(earlier < later);
  COleDateTimeSpan span(2, 3, 4, 5);
  EXPECT_EQ(span.GetDays(), 2);
  EXPECT_EQ(span.GetHours(), 3);
  EXPECT_EQ(span.GetMinutes(), 4);
  EXPECT_EQ(span.GetSeconds(), 5);
}

TEST(COleCurrency, FormatGivesTheTextsTheAmountsReadBackFrom) {
  struct {
    LONGLONG scaled;
    const char* text;
  } cases[] = {{125000, "12.5"},
               {30000, "3"},
               {-12500, "-1.25"},
               {1, "0.0001"},
               {0, "0"},
               {-1, "-0.0001"},
               {INT64_MAX, "922337203685477.5807"}};
  for (const auto& c : cases) {
    CY cy;
    cy.int64 = c.scaled;
    COleCurrency cur(cy);
    EXPECT_EQ(cur.Format(0, 1024), CString(c.text));
    COleCurrency back;
    ASSERT_TRUE(back.ParseCurrency(c.text));
    EXPECT_EQ(back.m_cur.int64, c.scaled);
  }
  COleCurrency invalid;
  invalid.SetStatus(COleCurrency::invalid);
  EXPECT_EQ(invalid.Format(), CString("Invalid Currency"));
  COleCurrency null;
  null.SetStatus(COleCurrency::null);
  EXPECT_EQ(null.Format(), CString(""));
  COleCurrency parsed;
  EXPECT_FALSE(parsed.ParseCurrency("ten dollars"));
  EXPECT_EQ(parsed.GetStatus(), COleCurrency::invalid);
  EXPECT_EQ(parsed.m_cur.int64, 0);
  EXPECT_FALSE(parsed.ParseCurrency("1e30"));
  EXPECT_EQ(parsed.m_cur.int64, -1);
  ASSERT_TRUE(parsed.ParseCurrency("$1,234.56"));
  EXPECT_EQ(parsed.m_cur.int64, 12345600);
}

TEST(COleCurrency, ArithmeticOverflowAndDivisionByZeroGiveInvalid) {
  COleCurrency a(2, 5000);  // 2.5
  COleCurrency b(3, 7500);
  EXPECT_EQ((a + b).m_cur.int64, 62500);
  EXPECT_EQ((a - b).m_cur.int64, -12500);
  EXPECT_EQ((a * 3).m_cur.int64, 75000);
  EXPECT_EQ((COleCurrency(1, 5000) / 4).m_cur.int64, 3750);
  EXPECT_EQ((COleCurrency(-1, -2500)).m_cur.int64, -12500);
  EXPECT_EQ((a / 0).GetStatus(), COleCurrency::invalid);
  CY max;
  max.int64 = INT64_MAX;
  EXPECT_EQ((COleCurrency(max) + COleCurrency(0, 1)).GetStatus(), COleCurrency::invalid);
  EXPECT_EQ((COleCurrency(max) * 2).GetStatus(), COleCurrency::invalid);
  CY min;
  min.int64 = INT64_MIN;
  EXPECT_EQ((-COleCurrency(min)).GetStatus(), COleCurrency::invalid);
  COleCurrency null;
  null.SetStatus(COleCurrency::null);
  COleCurrency bad = a / 0;
  EXPECT_EQ((null + bad).GetStatus(), COleCurrency::null);
  EXPECT_EQ((bad + a).GetStatus(), COleCurrency::invalid);
  EXPECT_TRUE(a < b);
  EXPECT_TRUE(a == COleCurrency(2, 5000));
  a += b;
  EXPECT_EQ(a.m_cur.int64, 62500);
}

TEST(COleCurrency, FromVariantsOfOtherTypes) {
  COleVariant d(6.25);
  EXPECT_EQ(COleCurrency(static_cast<const VARIANT&>(d)).m_cur.int64, 62500);
  COleVariant text("12.5");
  COleCurrency fromText(static_cast<const VARIANT&>(text));
  EXPECT_EQ(fromText.m_cur.int64, 125000);
  COleVariant word("much");
  COleCurrency bad(static_cast<const VARIANT&>(word));
  EXPECT_EQ(bad.GetStatus(), COleCurrency::invalid);
  COleVariant cy(fromText);
  EXPECT_EQ(cy.vt, VT_CY);
  // The money value's route: the currency's text read back with strtod.
  EXPECT_EQ(std::strtod(COleCurrency(static_cast<const VARIANT&>(cy)).Format(0, 1024), nullptr),
            12.5);
}

TEST(COleVariant, ChangeTypeThrowsOleExceptions) {
  COleVariant v("12");
  v.ChangeType(VT_I4);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 12);
  COleVariant word("twelve");
  try {
    word.ChangeType(VT_I4);
    FAIL() << "no exception";
  } catch (COleException* e) {
    EXPECT_EQ(e->m_sc, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(COleException::Process(e), DISP_E_TYPEMISMATCH);
    e->Delete();
  }
  EXPECT_EQ(word.vt, VT_BSTR);  // unchanged
  COleVariant target;
  target.ChangeType(VT_BSTR, &v);
  EXPECT_EQ(halyard::ole::BstrView(target.bstrVal), u"12");
}

TEST(COleVariantArchive, StoresTheClassLibraryForm) {
  EXPECT_EQ(Store(COleVariant(42L)), (std::vector<BYTE>{3, 0, 42, 0, 0, 0}));
  EXPECT_EQ(Store(COleVariant("ab", VT_BSTRT)), (std::vector<BYTE>{8, 0, 2, 0, 0, 0, 'a', 'b'}));
  EXPECT_EQ(Store(COleVariant("a")), (std::vector<BYTE>{8, 0, 2, 0, 0, 0, 'a', 0}));
  EXPECT_EQ(Store(COleVariant(static_cast<short>(1), VT_BOOL)),
            (std::vector<BYTE>{11, 0, 0xFF, 0xFF}));
  EXPECT_EQ(Store(COleVariant()), (std::vector<BYTE>{0, 0}));
  CY cy;
  cy.int64 = 0x0000000100000002ll;
  EXPECT_EQ(Store(COleVariant(COleCurrency(cy))),
            (std::vector<BYTE>{6, 0, 2, 0, 0, 0, 1, 0, 0, 0}));
  const COleVariant values[] = {COleVariant(2.5), COleVariant(1.5f),
                                COleVariant(COleDateTime(2000, 1, 2, 3, 4, 5)),
                                COleVariant(static_cast<BYTE>(7)), COleVariant("text")};
  for (const COleVariant& v : values) {
    COleVariant back;
    ASSERT_EQ(Load(Store(v), &back), -1);
    EXPECT_TRUE(back == v);
  }
}

TEST(COleVariantArchive, BadBytesGiveArchiveExceptionsWithoutHugeAllocations) {
  COleVariant v("keep");
  EXPECT_EQ(Load({0x7F, 0}, &v), CArchiveException::generic);
  EXPECT_EQ(Load({9, 0}, &v), CArchiveException::generic);  // objects have no form here
  EXPECT_EQ(Load({3, 0, 1}, &v), CArchiveException::endOfFile);
  // A string that claims nearly 2 GiB but holds three bytes.
  EXPECT_EQ(Load({8, 0, 0xF0, 0xFF, 0xFF, 0x7F, 'a', 'b', 'c'}, &v), CArchiveException::endOfFile);
  EXPECT_EQ(Load({8, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}, &v), CArchiveException::generic);
  EXPECT_EQ(v.vt, VT_EMPTY);
  COleVariant empty;
  ASSERT_EQ(Load({8, 0, 0, 0, 0, 0}, &empty), -1);
  EXPECT_EQ(empty.vt, VT_BSTR);
  EXPECT_EQ(empty.bstrVal, nullptr);
}

}  // namespace
