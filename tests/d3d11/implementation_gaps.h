// What a Direct3D 11 / D3DX implementation other than ours may lack or get wrong, for tests that run
// unchanged on each: they skip, saying why, instead of failing on something that is not ours to test.
//
// Missing pieces are found at run time: an entry point exported without an implementation raises an
// exception instead of returning (CallReturns catches that), and an HLSL compiler names the construct it
// does not implement in its error text (NotImplementedConstruct). Where Wine's Direct3D behaves against
// the documentation, a test skips on Wine alone (SKIP_ON_WINE), with the reason.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace d3d11_test {

// Wine's version when the tests run on Wine (its ntdll exports wine_get_version), else null.
const char* WineVersion();

// Runs call(argument); false when it raised the exception of an unimplemented entry point instead of
// returning, with that exception's code in *exceptionCode. Other exceptions are not caught.
bool CallReturns(void (*call)(void*), void* argument, unsigned long* exceptionCode);

// The line of a compiler's error text saying a construct is not implemented (a compiler's own limit, not
// an error in the source); empty when there is none.
std::string NotImplementedConstruct(const std::string& errors);

}  // namespace d3d11_test

#define SKIP_ON_WINE(reason)                                             \
  if (const char* wine_version_ = ::d3d11_test::WineVersion())            \
  GTEST_SKIP() << "Wine " << wine_version_ << " differs from Direct3D: " << reason
