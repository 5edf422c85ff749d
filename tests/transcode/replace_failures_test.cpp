// How a failed step of a replacement ends the run: the failure the message is chosen by, the
// system's error it gives, and the exit status.
#include "src/transcode/replace_failures.h"

#include <gtest/gtest.h>

namespace {

constexpr DWORD kSomeError = 0x20000001u;

struct FailureCase {
    const char* name;
    ReplaceStep step;
    ReplaceResult result;
    RunFailure failure;
    DWORD error;
    RunStatus status;
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

class ReplaceFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ReplaceFailures, EndTheRun) {
    const FailureCase& c = GetParam();
    ReplaceFailure failed = FailureOfReplacement(c.step, c.result);
    EXPECT_EQ(failed.failure, c.failure);
    EXPECT_EQ(failed.error, c.error);
    EXPECT_EQ(failed.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ReplaceFailures,
    ::testing::Values(
        FailureCase{"RefusedCreation",
                    kCreatingTemporary,
                    {kReplaceRefused, kSomeError},
                    kFailureOutputCreate,
                    kSomeError,
                    kStatusOutputFailed},
        FailureCase{"RefusedCommit",
                    kCommitting,
                    {kReplaceRefused, kSomeError},
                    kFailureOutputCommit,
                    kSomeError,
                    kStatusOutputFailed},
        // Whatever call the folder refused, the user is told of a refused access.
        FailureCase{"FolderRefusedTheTemporary",
                    kCreatingTemporary,
                    {kReplaceFolderRefused, kSomeError},
                    kFailureOutputFolder,
                    ERROR_ACCESS_DENIED,
                    kStatusOutputFailed},
        FailureCase{"FolderRefusedTheRename",
                    kCommitting,
                    {kReplaceFolderRefused, kSomeError},
                    kFailureOutputFolder,
                    ERROR_ACCESS_DENIED,
                    kStatusOutputFailed},
        FailureCase{"OwnerNotKept",
                    kCreatingTemporary,
                    {kReplaceOwnerNotKept, kSomeError},
                    kFailureOutputOwner,
                    kSomeError,
                    kStatusOutputFailed},
        FailureCase{"RulesNotKept",
                    kCreatingTemporary,
                    {kReplaceRulesNotKept, kSomeError},
                    kFailureOutputRules,
                    kSomeError,
                    kStatusOutputFailed},
        FailureCase{"RightsNotKept",
                    kCommitting,
                    {kReplaceRightsNotKept, ERROR_SUCCESS},
                    kFailureOutputRights,
                    ERROR_SUCCESS,
                    kStatusOutputFailed},
        FailureCase{"FolderMoved",
                    kCommitting,
                    {kReplaceFolderMoved, ERROR_SUCCESS},
                    kFailureOutputMoved,
                    ERROR_SUCCESS,
                    kStatusOutputFailed},
        // The input, to be replaced, changed meanwhile: the input failed, not the output.
        FailureCase{"InputChanged",
                    kCommitting,
                    {kReplaceTargetChanged, ERROR_SUCCESS},
                    kFailureInputReplaced,
                    ERROR_SUCCESS,
                    kStatusInputFailed}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

}  // namespace
