#include <chrono>
#include <cstring>
#include <future>

#include "Layer7Fixture.h"
#include "ald/AlarmList.h"

namespace {

using ProcedureTest = Layer7Test;

TEST_F(ProcedureTest, AlarmStatusLists) {
  AlarmList alarms;
  alarms.AlarmCodes[0] = 99;
  alarms.AlarmStates[0] = 1;
  AnswerI("04 01 00 00");
  EXPECT_EQ(l7.GetAlarmStatus(kAld, alarms), kSuccess);
  EXPECT_EQ(alarms.AlarmCount, 1);
  EXPECT_EQ(alarms.AlarmCodes[0], 0);
  EXPECT_EQ(alarms.AlarmStates[0], 0);
  std::string quiet = Trace();
  EXPECT_FALSE(Has(quiet, "Got alarms"));
  EXPECT_FALSE(Has(quiet, "Response:"));

  alarms.AlarmCodes[1] = 77;
  alarms.AlarmStates[1] = 5;
  AnswerI("04 04 00 00 02 00 14");
  EXPECT_EQ(l7.GetAlarmStatus(kAld, alarms), 29);
  EXPECT_EQ(alarms.AlarmCount, 3);
  EXPECT_EQ(alarms.AlarmCodes[0], 12);
  EXPECT_EQ(alarms.AlarmStates[0], 1);
  EXPECT_EQ(alarms.AlarmCodes[1], 77);
  EXPECT_EQ(alarms.AlarmStates[1], 5);
  EXPECT_EQ(alarms.AlarmCodes[2], 29);
  std::string trace = Trace();
  EXPECT_TRUE(Has(trace, "ERR"));
  EXPECT_TRUE(Has(trace, "Got alarms: 0x2 -> Actuator Jam Permanent"));
  EXPECT_TRUE(Has(trace, "Got alarms: 0x14 -> Position Lost"));

  AnswerI("04 02 00 00 10");
  EXPECT_EQ(l7.GetAlarmStatus(kAld, alarms), kUnknownResultCode);
  EXPECT_EQ(alarms.AlarmCodes[0], 46);

  // A failed read leaves the list alone.
  AnswerI("04 02 00 0B 05");
  EXPECT_EQ(l7.GetAlarmStatus(kAld, alarms), kBusy);
  EXPECT_EQ(alarms.AlarmCount, 1);
}

TEST_F(ProcedureTest, AlarmListsKeepAtMost32Entries) {
  std::string message = "04 29 00 00";
  for (int i = 0; i < 40; ++i) message += " 0E";
  AnswerI(message);
  AlarmList alarms;
  EXPECT_EQ(l7.GetAlarmStatus(kAld, alarms), kNotCalibrated);
  EXPECT_EQ(alarms.AlarmCount, 32);
  EXPECT_EQ(Count(Trace(), "Got alarms"), 32u);
}

TEST_F(ProcedureTest, InformationStrings) {
  AldRecord& r = table.Record(kAld);
  AnswerI("05 0C 00 00 04 41 42 00 43 01 53 01 48 01 56");
  EXPECT_EQ(l7.GetInformation(kAld, r), kSuccess);
  EXPECT_EQ(r.ProductNumber, "AB");
  EXPECT_EQ(r.SerialNumber, "S");
  EXPECT_EQ(r.HardwareVersion, "H");
  EXPECT_EQ(r.SoftwareVersion, "V");
  std::string trace = Trace();
  EXPECT_TRUE(Has(trace, "Product Number:   'AB'"));
  EXPECT_TRUE(Has(trace, "Serial Number:    'S'"));
  EXPECT_TRUE(Has(trace, "Hardware Version: 'H'"));
  EXPECT_TRUE(Has(trace, "Software Version: 'V'"));
  EXPECT_TRUE(Has(trace, "Response: 'Get Info', Result: 'Success'"));

  AnswerI("05 05 00 00 00 00 00 00");
  EXPECT_EQ(l7.GetInformation(kAld, r), kSuccess);
  EXPECT_EQ(r.ProductNumber, "");
  EXPECT_EQ(r.SoftwareVersion, "");
  EXPECT_TRUE(Has(Trace(), "Software Version: ''"));

  // Declared lengths that run past the response are cut at its end.
  AnswerI("05 05 00 00 02 41 42 50");
  EXPECT_EQ(l7.GetInformation(kAld, r), kSuccess);
  EXPECT_EQ(r.ProductNumber, "AB");
  EXPECT_EQ(r.SerialNumber, "");
  EXPECT_EQ(r.HardwareVersion, "");
  EXPECT_TRUE(Has(Trace(), "WRN"));

  AnswerI("05 02 00 0B 08");
  r.ProductNumber = "kept";
  EXPECT_EQ(l7.GetInformation(kAld, r), 18);
  EXPECT_EQ(r.ProductNumber, "kept");
}

TEST_F(ProcedureTest, VendorSpecificLayouts) {
  VendorCommand identity;
  identity.SerialNumber = "ABCDEFGHIJKLMNOPQRST";
  identity.ProductNumber = "PRODUCT-0123456";
  identity.HardwareVersion = "HW-1.0.0-";
  identity.HardwareVersion += "X";
  AnswerI("90 01 00 00");
  EXPECT_EQ(l7.VendorSpecific(kAld, identity), kSuccess);
  std::vector<uint8_t> sent = link.SentContent(0);
  ASSERT_EQ(sent.size(), 2u + 3 + 47);
  EXPECT_EQ(ToHex(std::vector<uint8_t>(sent.begin() + 2, sent.begin() + 5)), "90 2F 00");
  EXPECT_EQ(std::string(sent.begin() + 5, sent.begin() + 22), "ABCDEFGHIJKLMNOPQ");
  EXPECT_EQ(std::string(sent.begin() + 22, sent.begin() + 37), "PRODUCT-0123456");
  EXPECT_EQ(std::string(sent.begin() + 37, sent.begin() + 47), "HW-1.0.0-X");
  EXPECT_EQ(ToHex(std::vector<uint8_t>(sent.begin() + 47, sent.end())), "00 00 00 00 00");

  VendorCommand clear;
  clear.Operation = VendorCommand::kClearMemory;
  AnswerI("90 01 00 00");
  EXPECT_EQ(l7.VendorSpecific(kAld, clear), kSuccess);
  EXPECT_EQ(SentMessage(1), "90 01 00 01");
}

TEST_F(ProcedureTest, StoreIdentityRebuildsTheUniqueId) {
  AldRecord& r = table.Record(kAld);
  std::memcpy(r.VendorCode, "KA", 2);
  std::memcpy(r.UniqueId, "KAOLDSERIAL", 11);
  r.UniqueIdLength = 11;
  VendorCommand identity;
  identity.SerialNumber = "12345678901234567890";
  identity.ProductNumber = "P";
  identity.HardwareVersion = "H";
  l7.StoreIdentity(kAld, identity);
  EXPECT_STREQ(r.UniqueId, "KA12345678901234567");
  EXPECT_EQ(r.UniqueIdLength, 11);
  EXPECT_EQ(r.SerialNumber, "12345678901234567890");
  EXPECT_EQ(r.ProductNumber, "P");
}

TEST_F(ProcedureTest, TiltLayouts) {
  AnswerI("33 01 00 00");
  EXPECT_EQ(l7.RetSetTilt(kAld, -25), kSuccess);
  EXPECT_EQ(SentMessage(0), "33 02 00 E7 FF");
  AnswerI("81 03 00 02 00");
  EXPECT_EQ(l7.MultiRetSetTilt(kAld, 2, -25), kSuccess);
  EXPECT_EQ(SentMessage(1), "81 03 00 02 E7 FF");

  int16_t tilt = 7;
  AnswerI("82 04 00 02 00 64 00");
  EXPECT_EQ(l7.MultiRetGetTilt(kAld, 2, tilt), kSuccess);
  EXPECT_EQ(tilt, 100);
  EXPECT_EQ(SentMessage(2), "82 01 00 02");
  AnswerI("34 03 00 00 9C FF");
  EXPECT_EQ(l7.RetGetTilt(kAld, tilt), kSuccess);
  EXPECT_EQ(tilt, -100);

  AnswerI("81 03 00 01 0B 13");
  EXPECT_EQ(l7.MultiRetSetTilt(kAld, 1, 500), kOutOfRange);
  EXPECT_TRUE(Has(Trace(), "Response: 'Multi Ret Set Tilt', Result: 'Out Of Range'"));
  AnswerI("34 02 00 0B 0E");
  EXPECT_EQ(l7.RetGetTilt(kAld, tilt), kNotCalibrated);
  EXPECT_EQ(tilt, -100);
  AnswerI("80 02 00 03 00");
  EXPECT_EQ(l7.MultiRetCalibrate(kAld, 3), kSuccess);
  EXPECT_EQ(SentMessage(link.written.size() - 1), "80 01 00 03");
}

TEST_F(ProcedureTest, MultiRetAlarmsAndAntennaCount) {
  AlarmList alarms;
  AnswerI("87 02 00 02 00");
  EXPECT_EQ(l7.MultiRetGetAlarms(kAld, 2, alarms), kSuccess);
  EXPECT_EQ(alarms.AlarmCount, 0);
  AnswerI("87 04 00 02 00 00 03");
  EXPECT_EQ(l7.MultiRetGetAlarms(kAld, 2, alarms), 13);
  EXPECT_EQ(alarms.AlarmCount, 2);
  EXPECT_EQ(alarms.AlarmCodes[1], 13);

  uint8_t count = 0;
  AnswerI("88 02 00 00 03");
  EXPECT_EQ(l7.MultiRetGetNumberAntennas(kAld, count), kSuccess);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(SentMessage(2), "88 01 00 00");
  AnswerI("88 02 00 0B 13");
  EXPECT_EQ(l7.MultiRetGetNumberAntennas(kAld, count), kOutOfRange);
  EXPECT_EQ(count, 3);
}

TEST_F(ProcedureTest, AlarmIndications) {
  AlarmList alarms;
  AnswerI("07 06 00 02 01 14 01 0E 00");
  EXPECT_EQ(l7.PollAlarmIndication(kAld, alarms), kSuccess);
  EXPECT_EQ(alarms.AlarmCount, 3);
  EXPECT_EQ(alarms.AlarmSubunit, 0);
  EXPECT_EQ(alarms.AlarmCodes[0], 12);
  EXPECT_EQ(alarms.AlarmStates[0], 1);
  EXPECT_EQ(alarms.AlarmCodes[1], 29);
  EXPECT_EQ(alarms.AlarmCodes[2], 24);
  EXPECT_EQ(alarms.AlarmStates[2], 0);

  AnswerI("85 05 00 02 03 01 14 00");
  EXPECT_EQ(l7.PollAlarmIndication(kAld, alarms), kSuccess);
  EXPECT_EQ(alarms.AlarmSubunit, 2);
  EXPECT_EQ(alarms.AlarmCount, 2);
  EXPECT_EQ(alarms.AlarmCodes[0], 13);
  EXPECT_EQ(alarms.AlarmStates[1], 0);

  AnswerI("05 01 00 00");
  EXPECT_EQ(l7.PollAlarmIndication(kAld, alarms), kUnsupportedOperation);
  EXPECT_EQ(alarms.AlarmCount, 2);
  AnswerRR();
  EXPECT_EQ(l7.PollAlarmIndication(kAld, alarms), kSuccess);
  EXPECT_EQ(l7.PollAlarmIndication(kAld, alarms), kTimeout);
  EXPECT_EQ(alarms.AlarmSubunit, 2);
}

// The alarm poll runs on the worker thread. While a procedure started from a
// window is between its request and its response, the poll of that ALD
// neither waits for the bus nor takes the answer the procedure is owed.
TEST_F(ProcedureTest, AlarmPollKeepsOffAnAldInTheMiddleOfAProcedure) {
  std::future<ResultCode> poll;
  std::future_status status = std::future_status::deferred;
  link.onWrite = [&](const std::vector<uint8_t>&) {
    if (poll.valid()) return;
    poll = std::async(std::launch::async, [this] {
      AlarmList alarms;
      return l7.PollAlarmIndication(kAld, alarms);
    });
    status = poll.wait_for(std::chrono::seconds(2));
  };
  int16_t tilt = 0;
  AnswerI("34 03 00 00 9C FF");
  EXPECT_EQ(l7.RetGetTilt(kAld, tilt), kSuccess);
  EXPECT_EQ(tilt, -100);
  ASSERT_EQ(status, std::future_status::ready);
  EXPECT_EQ(poll.get(), kBusy);
  EXPECT_EQ(link.written.size(), 1u);

  // Once the procedure is over the ALD is polled again.
  link.onWrite = nullptr;
  AlarmList alarms;
  AnswerRR();
  EXPECT_EQ(l7.PollAlarmIndication(kAld, alarms), kSuccess);
}

TEST_F(ProcedureTest, TmaLayouts) {
  AnswerI("72 02 00 02 00");
  EXPECT_EQ(l7.TmaSetGain(kAld, 2, 0x30), kSuccess);
  EXPECT_EQ(SentMessage(0), "72 02 00 02 30");
  AnswerI("70 02 00 01 00");
  EXPECT_EQ(l7.TmaSetMode(kAld, 1, 1), kSuccess);
  EXPECT_EQ(SentMessage(1), "70 02 00 01 01");

  uint8_t functions[4] = {};
  AnswerI("7A 06 00 01 00 03 10 30 04");
  EXPECT_EQ(l7.TmaGetSupportedFunctions(kAld, 1, functions), kSuccess);
  EXPECT_EQ(ToHex(functions, 4), "03 10 30 04");
  EXPECT_TRUE(Has(Trace(), "Response: 'TMA Get Supported Funtions', Result: 'Success'"));

  uint8_t gain = 0x22;
  AnswerI("73 03 00 01 0B 1C");
  EXPECT_EQ(l7.TmaGetGain(kAld, 1, gain), 36);
  EXPECT_EQ(gain, 0x22);
  AnswerI("73 03 00 01 00 2C");
  EXPECT_EQ(l7.TmaGetGain(kAld, 1, gain), kSuccess);
  EXPECT_EQ(gain, 0x2C);
  uint8_t mode = 9;
  AnswerI("71 03 00 02 00 01");
  EXPECT_EQ(l7.TmaGetMode(kAld, 2, mode), kSuccess);
  EXPECT_EQ(mode, 1);

  uint8_t count = 0;
  AnswerI("79 02 00 00 02");
  EXPECT_EQ(l7.TmaGetNumberSubunits(kAld, count), kSuccess);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(SentMessage(link.written.size() - 1), "79 00 00");

  AlarmList alarms;
  AnswerI("78 03 00 01 00 1A");
  EXPECT_EQ(l7.TmaGetAlarms(kAld, 1, alarms), 34);
  EXPECT_EQ(alarms.AlarmCount, 1);
  EXPECT_EQ(alarms.AlarmCodes[0], 34);
  EXPECT_EQ(alarms.AlarmStates[0], 1);
}

TEST_F(ProcedureTest, ResponseShorterThanItsReturnCodeIsAProtocolError) {
  AnswerI("03 00 00");
  EXPECT_EQ(l7.SoftwareReset(kAld), kProtocolError);
  uint8_t gain = 5;
  AnswerI("73 01 00 01");
  EXPECT_EQ(l7.TmaGetGain(kAld, 1, gain), kProtocolError);
  EXPECT_EQ(gain, 5);
}

}  // namespace
