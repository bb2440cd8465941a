// What a failure message box says, put together from a report.
#include <gtest/gtest.h>

#include <string>

#include "platform/Host.h"
#include "ui/Messages.h"

namespace {

TEST(FailureText, FirstLineThenEveryFailureThenNothingElse) {
  engine::Report report;
  report.Warn("Temp was not fully removed.");
  report.Fail("Data\\ship1.dat could not be saved: the disk is full.", host::kErrorDiskFull);
  report.Fail("The game files are unchanged.");
  EXPECT_EQ(ui::FailureText("Patch not installed.", report, "fallback"),
            "Patch not installed.\n\nData\\ship1.dat could not be saved: the disk is full.\n"
            "The game files are unchanged.")
      << "warnings are not failures";
}

TEST(FailureText, AsksForAdministratorRightsAfterADeniedAccess) {
  engine::Report report;
  report.Fail("Data\\ship1.dat could not be replaced: access denied.", host::kErrorAccessDenied);
  const std::string text = ui::FailureText("Patch not installed.", report, "fallback");
  EXPECT_EQ(text.substr(text.rfind("\n\n") + 2), ui::kRunAsAdministratorText);
}

TEST(FailureText, ReportWithoutFailuresGivesTheFallback) {
  EXPECT_EQ(ui::FailureText("Patch not fully uninstalled.", engine::Report{}, "why"),
            "Patch not fully uninstalled.\n\nwhy");
}

TEST(FailureText, CountsTheFailuresPastFifteen) {
  engine::Report report;
  for (int i = 1; i <= 20; ++i) report.Fail("problem " + std::to_string(i));
  const std::string text = ui::FailureText("Patch not installed.", report, "");
  EXPECT_NE(text.find("\nproblem 15\n(and 5 more)"), std::string::npos) << text;
  EXPECT_EQ(text.find("problem 16"), std::string::npos) << text;
}

}  // namespace
