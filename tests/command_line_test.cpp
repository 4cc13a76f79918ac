// The command line of layergreen: every subcommand reads its options by the same rules
// (`--opt value` and `--opt=value`, -h/--help per subcommand), with one message per mistake.
#include "run/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lg {
namespace {

using Action = CommandLine::Action;

CommandLine parse(const std::vector<std::string>& args) {
  return parse_command_line(args, false);
}

TEST(CommandLine, BothSpellingsInEverySubcommand) {
  for (const std::vector<std::string>& head :
       {std::vector<std::string>{}, {"run"}, {"bank", "b.toml"}}) {
    for (const auto& tail : {std::vector<std::string>{"--threads", "3", "--sweep", "5"},
                             std::vector<std::string>{"--threads=3", "--sweep=5"}}) {
      std::vector<std::string> args = head;
      args.insert(args.end(), tail.begin(), tail.end());
      const CommandLine c = parse(args);
      ASSERT_EQ(c.action, Action::kRun) << c.error;
      EXPECT_EQ(c.threads, 3);
      EXPECT_EQ(c.sweep, 5u);
    }
  }
  const CommandLine b = parse({"bank", "--classic=out", "b.toml", "--resume", "--progress"});
  EXPECT_EQ(b.command, "bank");
  EXPECT_EQ(b.config, "b.toml");
  EXPECT_EQ(b.classic_dir, "out");
  EXPECT_TRUE(b.resume && b.progress && !b.check);
  // Defaults differ by command.
  EXPECT_EQ(parse({}).sweep, kMaxSweepDataSets);
  EXPECT_EQ(parse({"bank", "b.toml"}).sweep, kBankSweepDataSets);
}

TEST(CommandLine, HelpPerSubcommandAndByTopic) {
  for (const auto& args :
       {std::vector<std::string>{"bank", "--help"}, std::vector<std::string>{"bank", "-h"},
        std::vector<std::string>{"help", "bank"}}) {
    const CommandLine c = parse(args);
    EXPECT_EQ(c.action, Action::kHelp);
    EXPECT_EQ(c.command, "bank");
  }
  EXPECT_EQ(parse({"--help"}).command, "run");
  EXPECT_EQ(parse({"help"}).command, "");
  const std::string bank = *help_text("bank", Program::kSerial);
  for (const char* option : {"--resume", "--classic DIR", "--check", "--sweep N"}) {
    EXPECT_NE(bank.find(option), std::string::npos) << option;
  }
  EXPECT_NE(help_text("", Program::kSerial)->find("bank CONFIG.toml"), std::string::npos);
  EXPECT_FALSE(help_text("nope", Program::kSerial));
}

TEST(CommandLine, MistakesAreUsageErrorsWithOneMessage) {
  const struct {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"--threads"}, "--threads needs a value"},
      {{"--sweep=0"}, "--sweep takes a whole number from 1 to 1024, not '0'"},
      {{"bank", "b.toml", "--threads", "x"},
       "--threads takes a whole number from 1 to 1024, not 'x'"},
      {{"bank", "b.toml", "--classic"}, "--classic needs a folder"},
      {{"bank"}, "bank needs a configuration file"},
      {{"bank", "a.toml", "b.toml"}, "unknown option or argument 'b.toml'"},
      {{"--resume"}, "unknown option or argument '--resume'"},
      {{"quenta4.ctl"}, "unknown option or argument 'quenta4.ctl'"},
      {{"--check=yes"}, "--check takes no value"},
      {{"help", "nope"}, "no help on 'nope'; the topics are run, bank, forward and exit-status"},
      {{"forward", "b.h5", "m.fsp"}, "forward needs -o DIR, the folder of its files"},
      {{"forward", "b.h5", "-o", "d"}, "forward needs a bank file and a slip model"},
      {{"forward", "b.h5", "m.fsp", "-o", "d", "--lowpass", "0"},
       "--lowpass takes a positive corner frequency in Hz, not '0'"},
      {{"forward", "b.h5", "m.fsp", "-o", "d", "--components=xyz"},
       "--components takes zne or zrt, not 'xyz'"},
      {{"forward", "b.h5", "m.fsp", "-o", "d", "--source", "box"},
       "--source takes triangle, cosine, asymmetric-cosine, sampled or file, not 'box'"},
      {{"bank", "b.toml", "-o", "d"}, "unknown option or argument '-o'"},
      {{"--bogus", "--help"}, "unknown option or argument '--bogus'"},
  };
  for (const auto& c : cases) {
    const CommandLine r = parse(c.args);
    EXPECT_EQ(r.action, Action::kUsageError) << c.error;
    EXPECT_EQ(r.error, c.error);
  }
  const CommandLine f = parse({"forward", "b.h5", "--lowpass=0.5", "m.fsp", "-o", "out",
                               "--components", "zrt", "--source=cosine"});
  ASSERT_EQ(f.action, Action::kRun) << f.error;
  EXPECT_EQ(f.inputs, (std::vector<std::string>{"b.h5", "m.fsp"}));
  EXPECT_EQ(f.output_dir + f.lowpass + f.components + f.source, "out0.5zrtcosine");
  // The MPI program has no forward, and no classic --check.
  EXPECT_EQ(parse_command_line({"forward", "b.h5", "m.fsp", "-o", "d"}, false, Program::kMpi).error,
            "unknown option or argument 'forward'");
  EXPECT_EQ(parse_command_line({"--check"}, false, Program::kMpi).action, Action::kUsageError);
  EXPECT_TRUE(parse_command_line({"bank", "b.toml", "--check"}, false, Program::kMpi).check);
}

}  // namespace
}  // namespace lg
