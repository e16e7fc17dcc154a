// The command line that starts the duvoload process of one socket of a gang run: the socket, how
// its progress is shown, and the options every socket shares (--quiet, --log). UTF-16, as the
// system takes it.
#pragma once

#include <string>

#include "app/duvoload/plan/options.h"

std::u16string MemberCommandLine(const std::u16string& program, const Options& options,
                                 unsigned socket, bool live);
