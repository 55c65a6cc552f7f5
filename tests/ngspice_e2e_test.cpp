// Simulates circuits with the real ngspice, joins the tables its "show" command printed, and
// checks every MOS device's value in opjoin's table against what ngspice itself prints for that
// device ("print @m1[gm]"). The simulator is the judge: nothing here models its output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/run_opjoin.h"
#include "tests/support/temp_dir.h"

namespace opjoin::testing {
namespace {

constexpr std::size_t kLabelWidth = 11;
constexpr std::size_t kFieldWidth = 22;

std::string Trimmed(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return "";
  }
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end;
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

bool HaveNgspice() {
  return std::system("command -v ngspice >/dev/null 2>&1") == 0;
}

// Runs `ngspice -b -o LOG` on `netlist` in `dir` and returns the log. ngspice -b exits 1 after
// a run without ".print", so the log is judged, not the status.
std::string Simulate(const TempDir& dir, const std::string& name, const std::string& netlist) {
  WriteFile(dir / (name + ".cir"), netlist);
  std::string command = "cd '" + dir.path() + "' && ngspice -b -o '" + name + ".log' '" + name +
                        ".cir' >/dev/null 2>&1";
  std::system(command.c_str());  // the status says nothing; the log does
  return ReadFile(dir / (name + ".log"));
}

// The table as cut at its fixed columns: device name -> row label -> text of its field.
using Table = std::map<std::string, std::map<std::string, std::string>>;

Table ParseTable(const std::string& text, std::vector<std::string>* devices) {
  std::vector<std::string> lines = SplitLines(text);
  Table table;
  if (lines.empty()) {
    return table;
  }
  const std::string& names = lines[0];
  EXPECT_EQ(Trimmed(names.substr(0, kLabelWidth)), "device");
  for (std::size_t at = kLabelWidth; at < names.size(); at += kFieldWidth) {
    devices->push_back(Trimmed(names.substr(at, kFieldWidth)));
  }
  for (const std::string& line : lines) {
    std::string label = Trimmed(line.substr(0, kLabelWidth));
    for (std::size_t d = 0; d < devices->size(); ++d) {
      std::size_t at = kLabelWidth + d * kFieldWidth;
      std::string value = at < line.size() ? Trimmed(line.substr(at, kFieldWidth)) : "";
      if (!value.empty()) {
        table[(*devices)[d]][label] = value;
      }
    }
  }
  return table;
}

// The netlist with its .control block replaced by `control`.
std::string WithControl(const std::string& netlist, const std::string& control) {
  std::size_t begin = netlist.find(".control");
  std::size_t end = netlist.find(".endc");
  return netlist.substr(0, begin) + ".control\n" + control + netlist.substr(end);
}

// What ngspice prints for each "@device[parameter]": one print a line, since a parameter the
// device lacks fails its whole line.
std::map<std::string, double> PrintedValues(const TempDir& dir, const std::string& netlist,
                                            const std::string& setup, const Table& table) {
  std::string control = setup + "op\n";
  for (const auto& [device, rows] : table) {
    for (const auto& [label, value] : rows) {
      if (label != "device" && label != "model") {
        control += "print @" + device + "[" + label + "]\n";
      }
    }
  }
  std::string log = Simulate(dir, "printed", WithControl(netlist, control));
  std::map<std::string, double> printed;
  for (const std::string& line : SplitLines(log)) {
    std::size_t equals = line.find(" = ");
    if (line.starts_with("@") && equals != std::string::npos) {
      printed[line.substr(0, equals)] = std::strtod(line.c_str() + equals + 3, nullptr);
    }
  }
  return printed;
}

// Whether `shown` (show's text, 6 significant digits) is `printed` rounded to that precision.
bool SameTo6Digits(const std::string& shown, double printed) {
  char* end = nullptr;
  double value = std::strtod(shown.c_str(), &end);
  if (end == shown.c_str() || *end != '\0') {
    return false;
  }
  double scale = std::max(std::fabs(value), std::fabs(printed));
  return std::fabs(value - printed) <= 5.0000001e-6 * scale;
}

struct Circuit {
  std::string name;
  std::string netlist;  // with a .control block
  std::string setup;    // commands before "op"
  std::string show = "show m";
  std::set<std::string> devices;  // its MOS devices, as ngspice names them
};

// Joins `circuit`'s show output and checks it against ngspice's own prints.
void CheckCircuit(const Circuit& circuit) {
  SCOPED_TRACE(circuit.name);
  TempDir dir;
  std::string log =
      Simulate(dir, circuit.name,
               WithControl(circuit.netlist, circuit.setup + "op\n" + circuit.show + "\n"));
  ASSERT_NE(log.find("device"), std::string::npos) << "ngspice printed no table:\n" << log;

  Outcome outcome = RunOpjoin({.args = {dir / (circuit.name + ".log")}});
  ASSERT_EQ(outcome.exit_status, 0) << outcome.out << outcome.err;
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "");
  std::string text = ReadFile(dir / (circuit.name + ".jtb"));

  std::vector<std::string> devices;
  Table table = ParseTable(text, &devices);
  EXPECT_EQ(std::set<std::string>(devices.begin(), devices.end()), circuit.devices);
  EXPECT_EQ(devices.size(), circuit.devices.size()) << "a device appears twice";

  std::map<std::string, double> printed = PrintedValues(dir, circuit.netlist, circuit.setup, table);
  int compared = 0;
  for (const auto& [device, rows] : table) {
    for (const auto& [label, value] : rows) {
      if (label == "device" || label == "model") {
        continue;
      }
      std::string vector = "@" + device + "[" + label + "]";
      auto found = printed.find(vector);
      if (found == printed.end()) {
        ADD_FAILURE() << "ngspice printed nothing for " << vector;
        continue;
      }
      EXPECT_TRUE(SameTo6Digits(value, found->second))
          << vector << ": table " << value << ", ngspice " << found->second;
      ++compared;
    }
  }
  EXPECT_GT(compared, 10 * static_cast<int>(circuit.devices.size()));
}

const char kModels[] =
    ".model n4 nmos level=14 version=4.8.1\n"
    ".model p4 pmos level=14 version=4.8.1\n"
    ".model n3 nmos level=8 version=3.3.0\n"
    ".model p3 pmos level=8 version=3.3.0\n"
    ".model n1 nmos level=1 vto=0.7 kp=110u gamma=0.4 lambda=0.04\n"
    ".model p1 pmos level=1 vto=-0.7 kp=50u gamma=0.4 lambda=0.05\n";

// `prefix` followed by the number `i` (built by appending: GCC 12 warns wrongly, -Wrestrict, of
// "s" + std::to_string(i)).
std::string Numbered(std::string_view prefix, int i) {
  std::string name(prefix);
  name += std::to_string(i);
  return name;
}

// A chain of `count` inverters of `n` and `p` devices, from node in to node s<count>.
std::string InverterChain(int count, const std::string& n, const std::string& p,
                          std::set<std::string>* devices) {
  std::string text;
  std::string input = "in";
  for (int i = 1; i <= count; ++i) {
    std::string output = Numbered("s", i);
    std::string mn = Numbered("mn", i);
    std::string mp = Numbered("mp", i);
    text += mn + " " + output + " " + input + " 0 0 " + n + " w=1u l=0.18u\n";
    text += mp + " " + output + " " + input + " vdd vdd " + p + " w=2u l=0.18u\n";
    devices->insert({mn, mp});
    input = output;
  }
  return text;
}

TEST(Ngspice, TablesMatchWhatNgspicePrints) {
  if (!HaveNgspice()) {
    GTEST_FAIL() << "ngspice is not installed (scripts/install-deps.sh test installs it)";
  }
  std::vector<Circuit> circuits;

  // A BSIM4 inverter chain at the default width: three devices a block.
  Circuit chain{.name = "chain"};
  chain.netlist = std::string("* bsim4 inverter chain\n") + kModels +
                  "vdd vdd 0 1.8\nvin in 0 0.7\n" + InverterChain(5, "n4", "p4", &chain.devices) +
                  ".control\n.endc\n.end\n";
  circuits.push_back(chain);

  // Subcircuits, nested, at a wider width: names like m.x2.x1.mn.
  Circuit nested{.name = "nested", .setup = "set width=160\n"};
  nested.netlist = std::string("* nested subcircuits\n") + kModels +
                   ".subckt inv a y vdd\nmn y a 0 0 n3 w=1u l=0.18u\n"
                   "mp y a vdd vdd p3 w=2u l=0.18u\n.ends\n"
                   ".subckt buf a y vdd\nx1 a m vdd inv\nx2 m y vdd inv\n.ends\n"
                   "vdd vdd 0 1.8\nvin in 0 0.6\n"
                   "x1 in o1 vdd inv\nx2 o1 o2 vdd buf\nx3 o2 o3 vdd buf\n"
                   "r1 o3 0 100k\n.control\n.endc\n.end\n";
  nested.devices = {"m.x1.mn",    "m.x1.mp",    "m.x2.x1.mn", "m.x2.x1.mp", "m.x2.x2.mn",
                    "m.x2.x2.mp", "m.x3.x1.mn", "m.x3.x1.mp", "m.x3.x2.mn", "m.x3.x2.mp"};
  circuits.push_back(nested);

  // A level-1 device beside BSIM ones, with other kinds of device, under "show all".
  Circuit mixed{.name = "mixed", .show = "show all"};
  mixed.netlist = std::string("* mixed kinds\n") + kModels +
                  ".model dd d is=1e-14\n"
                  "vdd vdd 0 3.3\nvin in 0 1.2\n"
                  "m1 d1 in 0 0 n1 w=10u l=1u\nr1 vdd d1 20k\n"
                  "m2 d2 in 0 0 n4 w=1u l=0.18u\nm3 d2 in vdd vdd p4 w=2u l=0.18u\n"
                  "d1 d2 0 dd\nc1 d2 0 1p\n.control\n.endc\n.end\n";
  mixed.devices = {"m1", "m2", "m3"};
  circuits.push_back(mixed);

  // A few dozen BSIM3 devices over many blocks.
  Circuit many{.name = "many"};
  many.netlist = std::string("* many devices\n") + kModels + "vdd vdd 0 1.8\nvin in 0 0.8\n" +
                 InverterChain(18, "n3", "p3", &many.devices) + ".control\n.endc\n.end\n";
  circuits.push_back(many);

  for (const Circuit& circuit : circuits) {
    CheckCircuit(circuit);
  }
}

}  // namespace
}  // namespace opjoin::testing
