// The Linux build's words for system error codes: Windows' own texts for
// the codes the domain-controller locator reports, the C library's for
// errno values.
#include "support/system_message.h"

#include <gtest/gtest.h>

#include "support/output.h"

namespace talvex {
namespace {

TEST(SystemMessageTest, LocatorCodesReadAsOnWindowsOthersAsTheCLibrary) {
  EXPECT_EQ(
      "ERROR: DsGetDcName (1355) The specified domain either does not exist "
      "or could not be contacted.\n",
      FormatSystemError("ERROR: DsGetDcName ", 1355));
  EXPECT_EQ("The RPC server is unavailable.\n", SystemMessageText(1722));
  EXPECT_EQ("x(2) No such file or directory\n", FormatSystemError("x", 2));
}

}  // namespace
}  // namespace talvex
