#pragma once

#include "platform/sim/SimDesktop.h"
#include "simulate/ScriptRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// A fresh simulated desktop driven by script lines, as `quillon --simulate`
// drives it. The launch happens as a whole script's would, except that lines
// made only of setup commands do not launch.
class ScriptTest : public ::testing::Test {
protected:
  // Runs the lines of a script and answers the lines they printed.
  std::vector<std::string> run(std::string_view script) {
    std::istringstream in{std::string(script)};
    for (std::string line; std::getline(in, line);) {
      runner.runLine(line);
    }
    std::vector<std::string> lines;
    std::istringstream printed(out.str());
    for (std::string line; std::getline(printed, line);) {
      lines.push_back(line);
    }
    out.str("");
    return lines;
  }

  // Runs one command that prints one JSON line.
  nlohmann::json runJson(std::string_view command) {
    const auto lines = run(command);
    EXPECT_EQ(lines.size(), 1u) << command;
    return lines.empty() ? nlohmann::json() : nlohmann::json::parse(lines.front());
  }

  SimDesktop desktop;
  std::ostringstream out;
  ScriptRunner runner{desktop, out};
};

} // namespace quillon
