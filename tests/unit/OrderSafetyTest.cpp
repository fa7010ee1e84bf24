// The trader's brakes on TradeQuik, read at every calculation: Enabled,
// MaxQuantity and Orders (Changes, or Position, which catches up missed
// bars, switched-off spells and refusals); the journal of every decision;
// and an order whose line a killed write left as a fragment that another
// writer closed off.
#include "JournalRows.h"
#include "TradeQuikCall.h"
#include "trading/OrderJournal.h"
#include "trading/OrderRecord.h"

namespace msx {
namespace {

class OrderSafety : public TradeQuikCall {
 protected:
  std::string Journal() const { return Path("journal.csv"); }
  // [TradeQuik] with these keys, then the security's section with those.
  void Settings(const std::string& quik, const std::string& section) {
    Load("[TradeQuik]\r\n" + quik + SectionText() + section);
  }
  // An edit of the security's section between calculations, as a user's.
  void Edit(const std::string& key, const std::string& value) {
    ASSERT_TRUE(CurrentTradingSettings()->WriteText(kSection, key, value));
  }
  std::vector<std::string> Outcomes() const {
    std::vector<std::string> outcomes;
    const std::vector<JournalFields> rows = JournalRows(Journal());
    for (const JournalFields& row : std::vector<JournalFields>(rows.begin() + 1, rows.end())) {
      EXPECT_EQ(row.size(), size_t{kJournalColumns}) << row.front();
      if (row.size() == kJournalColumns) outcomes.push_back(row[kJournalOutcome]);
    }
    return outcomes;
  }
};

// Each key absent, empty, valid and bad, in [TradeQuik] and in the
// section: an instance armed on three flat bars, then a fourth bar going
// long with a unit of 10.
TEST_F(OrderSafety, EachKeyAbsentEmptyValidAndBad) {
  struct Case {
    std::string quik, section;
    int32_t result;
    std::string error;
    bool sent;
    std::string seen;  // the last bar seen after both calculations
  };
  const std::string none = "none", armed = "20240103,0", fourth = "20240104,0";
  const std::string empty = "Enabled=\r\nMaxQuantity=\r\nOrders=\r\nJournal=\r\n";
  const Case cases[] = {
      {"", "", 0, "", true, fourth},
      {empty, empty, 0, "", true, fourth},
      {"Enabled=no\r\n", "", 0, "", false, fourth},
      {"", "Enabled=NO\r\n", 0, "", false, fourth},
      {"Enabled=yes\r\n", "Enabled=false\r\n", 0, "", false, fourth},
      {"Enabled=0\r\n", "Enabled=yes\r\n", 0, "", false, fourth},
      {"Enabled=True\r\n", "Enabled=1\r\n", 0, "", true, fourth},
      {"", "Enabled=maybe\r\n", -1, "Enabled must be yes or no", false, fourth},
      {"MaxQuantity=9\r\n", "", -1, "Order quantity 10 is above MaxQuantity 9", false, fourth},
      {"MaxQuantity=10\r\n", "", 0, "", true, fourth},
      {"MaxQuantity=50\r\n", "MaxQuantity=9\r\n", -1, "Order quantity 10 is above MaxQuantity 9",
       false, fourth},
      {"MaxQuantity=9\r\n", "MaxQuantity=0\r\n", -1, "Order quantity 10 is above MaxQuantity 9",
       false, fourth},
      {"MaxQuantity=0\r\n", "", 0, "", true, fourth},
      {"MaxQuantity=1.5\r\n", "", -1, "MaxQuantity must be a whole number", false, none},
      {"", "MaxQuantity=-1\r\n", -1, "MaxQuantity must be a whole number", false, none},
      {"Orders=changes\r\n", "", 0, "", true, fourth},
      {"", "Orders=Positions\r\n", -1, "Orders must be Changes or Position", false, none},
      {"Enabled=maybe\r\n", "Orders=x\r\n", -1, "Enabled must be yes or no", false, none},
      {"Journal=" + Path("no/such/folder/j.csv") + "\r\n", "", -1,
       "Cannot write journal file " + Path("no/such/folder/j.csv"), false, none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("[TradeQuik] " + c.quik + " section " + c.section);
    std::filesystem::remove(SettingsPath());
    std::filesystem::remove(Transactions());
    Settings(c.quik, c.section);
    signal = {0, 0, 0};
    Run();
    signal = {0, 0, 0, 1};
    EXPECT_EQ(Run(), c.result);
    if (c.result != 0) {
      EXPECT_EQ(chart.Error(), c.error.substr(0, 99));
    }
    EXPECT_EQ(Orders(), c.sent ? Lines{Line(2, "B", "101.5", 10)} : Lines{});
    EXPECT_EQ(Seen(), c.seen);
    EXPECT_EQ(CurrentTradingSettings()->ReadText("TradeQuik", "TransId", "none"),
              c.sent ? "2" : "none");
  }
  // Without the keys the settings file is what it always was.
  std::filesystem::remove(SettingsPath());
  Settings("", "");
  signal = {0, 0, 0};
  Run();
  signal = {0, 0, 0, 1};
  Run();
  const std::string path = Transactions();
  EXPECT_EQ(ReadFile(SettingsPath()),
            "[TradeQuik]\r\nAccount=\r\nClientCode=\r\nFile=\r\nTemplate=" +
                std::string(kDefaultTemplate) + "\r\nTransId=2\r\n[" + kSection +
                "]\r\nClassCode=QJSIM\r\nSecCode=SBER\r\nFile=" + path +
                "\r\nDateTime_ACC1_CL1_1=20240104,0\r\nOrder_ACC1_CL1_1=20240104,0,2,0," +
                Line(2, "B", "101.5", 10) +
                "|\r\n[TradeFile]\r\nAuthor=noname\r\nDirectory=\r\nClosePositionAtLastBar=no\r\n");
}

// A chart growing bar by bar while the trader edits the section: what each
// calculation sends, returns and keeps, in both modes. The unit is 10.
TEST_F(OrderSafety, PositionCatchesUpWhatChangesLetsDrift) {
  struct Step {
    int32_t bars;
    float last;             // the signal from the previous step's last bar on
    std::string key, value;  // edited before the calculation
    int32_t result;
    Lines sent;             // the lines this calculation appends
    std::string kept;       // Position_ after it
  };
  const std::string refused = "Order quantity 20 is above MaxQuantity 15";
  const auto run = [&](const std::string& mode, const std::vector<Step>& steps) {
    std::filesystem::remove(SettingsPath());
    std::filesystem::remove(Transactions());
    std::filesystem::remove(Journal());
    Settings("Journal=" + Journal() + "\r\n", "Orders=" + mode + "\r\n");
    signal.clear();
    std::size_t before = 0;
    for (const Step& s : steps) {
      SCOPED_TRACE(mode + " at " + std::to_string(s.bars) + " bars");
      if (!s.key.empty()) Edit(s.key, s.value);
      signal.resize(static_cast<size_t>(s.bars), s.last);
      EXPECT_EQ(Run(), s.result) << chart.Error();
      const Lines orders = Orders();
      EXPECT_EQ(Lines(orders.begin() + static_cast<long>(before), orders.end()), s.sent);
      before = orders.size();
      EXPECT_EQ(Seen("Position_ACC1_CL1_1"), s.kept);
    }
  };
  run("Position",
      {
          {3, 1, "", "", 0, {}, "1"},                                    // armed long
          {5, -1, "", "", 0, {Line(2, "S", "101.5", 20)}, "-1"},          // bar 3 missed
          {6, 1, "Enabled", "no", 0, {}, "-1"},                          // switched off
          {7, 1, "Enabled", "yes", 0, {Line(3, "B", "101.5", 20)}, "1"},  // caught up
          {8, -1, "MaxQuantity", "15", -1, {}, "1"},                     // refused...
          {9, -1, "", "", -1, {}, "1"},                                  // ...again
          {10, -1, "MaxQuantity", "20", 0, {Line(4, "S", "101.5", 20)}, "-1"},
          {11, -1, "Orders", "Changes", 0, {}, "none"},  // no stale kept position
          {12, 1, "Orders", "Position", 0, {}, "1"},     // switched back: armed afresh
      });
  EXPECT_EQ(Outcomes(), (Lines{"armed", "sent", "not sent: Enabled=no", "sent",
                               "refused: " + refused, "refused: " + refused, "sent", "armed"}));
  run("Changes",
      {
          {3, 1, "", "", 0, {}, "none"},
          {5, -1, "", "", 0, {}, "none"},  // the change on the missed bar never goes
          {6, 1, "MaxQuantity", "15", -1, {}, "none"},
          {6, 1, "MaxQuantity", "", 0, {}, "none"},  // the refused bar never goes later
          {7, -1, "", "", 0, {Line(2, "S", "101.5", 20)}, "none"},
      });
  EXPECT_EQ(Outcomes(), (Lines{"armed", "not sent: not the last bar", "refused: " + refused,
                               "sent"}));
  const std::vector<JournalFields> rows = JournalRows(Journal());
  ASSERT_EQ(rows.size(), 5u);
  std::string header = rows[0][0];
  for (std::size_t i = 1; i < rows[0].size(); ++i) header += ";" + rows[0][i];
  EXPECT_EQ(header, kJournalHeader);
  const JournalFields& sent = rows[4];
  EXPECT_EQ(Lines(sent.begin() + 1, sent.end()),
            (Lines{kSection, "ACC1", "CL1", "1", "20240107", "0", "1", "-1", "20", "S", "101.5",
                   "2", "sent", Line(2, "S", "101.5", 20)}));
  EXPECT_EQ(sent[kJournalTime].size(), 19u);
}

// Instance 1 dies half-way through its line; instance 2, on the same
// transaction file, appends next; then instance 1 recovers.
TEST_F(OrderSafety, ALineNeverGluesOntoAFragmentAndTheKilledOrderGoesOnceUnderANewNumber) {
  Settings("Journal=" + Journal() + "\r\n", "");
  signal = {0, 0, 0};
  ASSERT_EQ(Run(1), 0);
  ASSERT_EQ(Run(2), 0);
  signal = {0, 0, 0, 1};
  ASSERT_EQ(Run(1), 0);
  const std::string line = Line(2, "B", "101.5", 10);
  const std::string fragment = line.substr(0, line.size() / 2);
  WriteFile(Transactions(), fragment);  // the write stopped half-way, the bar unremembered
  Edit(kKey, "20240103,0");
  ASSERT_EQ(Run(2), 0);
  ASSERT_EQ(Run(1), 0) << chart.Error();
  ASSERT_EQ(Run(1), 0);
  EXPECT_EQ(Orders(), (Lines{fragment, Line(3, "B", "101.5", 10), Line(4, "B", "101.5", 10)}));
  const std::vector<std::string> outcomes = Outcomes();
  ASSERT_GE(outcomes.size(), 3u);
  EXPECT_EQ(Lines(outcomes.end() - 2, outcomes.end()),
            (Lines{"fragment closed off", "re-sent after restart"}));
}

TEST_F(OrderSafety, AnOrderThatCannotGoOutIsJournaledWithItsReason) {
  const std::string missing = Path("missing/orders.tri");
  Load("[TradeQuik]\r\nJournal=" + Journal() + "\r\n" + SectionText(missing));
  signal = {0, 0, 0};
  ASSERT_EQ(Run(), 0);
  signal = {0, 0, 0, 1};
  EXPECT_EQ(Run(), -1);
  // The reason as the host shows it, cut to its 99 characters.
  const std::string reason = "Cannot write Quik transaction file " + missing;
  EXPECT_EQ(Outcomes(), (Lines{"armed", "failed: " + reason.substr(0, 99)}));
  EXPECT_EQ(Seen(), "20240103,0");  // sent at the next calculation
}

TEST(OrderRecordText, NumbersAndFieldsAsTheirFilesCarryThem) {
  const std::string tpl = "ID=%N;Q=%Q;REF=%N;%X%%";
  struct Case {
    std::string line, templateText;
    std::optional<std::string> renumbered;
  };
  const Case cases[] = {
      {"ID=7;Q=7;REF=7;%", tpl, "ID=12;Q=7;REF=12;%"},
      {Line(7, "B", "7", 7), kDefaultTemplate, Line(12, "B", "7", 7)},
      {"ID=7;Q=7;REF=7;%", "X=%N;", std::nullopt},
      {"ID=8;Q=7;REF=7;%", tpl, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RenumberOrderLine(c.line, c.templateText, 7, 12), c.renumbered) << c.line;

  for (const auto& [field, text] : std::vector<std::pair<std::string, std::string>>{
           {"", ""}, {"a b", "a b"}, {"a;b", "\"a;b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""},
           {"two\r\nlines", "\"two\r\nlines\""}})
    EXPECT_EQ(JournalField(field), text);

  RecordedOrder position{{20240105, 0}, 3, 40, "A|1;", -1};
  EXPECT_EQ(RecordedOrderText(position), "20240105,0,3,40,A|1;|-1");
  EXPECT_EQ(ParseRecordedOrder(RecordedOrderText(position))->target, -1);
  EXPECT_EQ(ParseRecordedOrder("20240105,0,3,40,A|1|")->target, std::nullopt);
  EXPECT_EQ(ParseRecordedOrder("20240105,0,3,40,A|1|")->line, "A|1");
  EXPECT_FALSE(ParseRecordedOrder("20240105,0,3,40,A|x").has_value());
}

}  // namespace
}  // namespace msx
