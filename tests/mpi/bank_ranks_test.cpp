// The message of finished bank data sets between ranks: exact round trip, and refusal of a
// message that does not fit the bank; and the sweeps the data sets go out in.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "kernel/layout.h"
#include "mpi/bank_ranks.h"

namespace lg {
namespace {

TEST(BankRanks, RecordMessageRoundTripAndChecks) {
  JournalShape shape;
  shape.stations = 2;
  shape.nfreq = 2;
  shape.row_sizes = {1, 2};
  JournalRecord r;
  r.station = 1;
  r.row = 1;
  r.iterations = {101, 340};
  for (int i = 0; i < 2 * 2 * lg::kElementComponents; ++i) r.spectra.push_back(Cx{i * 1e-7, -0.0});
  r.spectra[5] = Cx{std::numeric_limits<double>::quiet_NaN(), 4.9e-324};
  JournalRecord first;
  first.row = 0;
  first.iterations = {1, 2};
  first.spectra.assign(2 * lg::kElementComponents, Cx{1.0, 2.0});
  const std::vector<JournalRecord> both = decode_records(encode_records({first, r}), shape);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0].station, 0);
  EXPECT_EQ(both[0].iterations, first.iterations);
  EXPECT_EQ(both[0].spectra.size(), first.spectra.size());
  const JournalRecord& back = both[1];
  EXPECT_EQ(back.station, 1);
  EXPECT_EQ(back.row, 1);
  EXPECT_EQ(back.iterations, r.iterations);
  ASSERT_EQ(back.spectra.size(), r.spectra.size());
  EXPECT_TRUE(std::isnan(back.spectra[5].re));
  EXPECT_EQ(back.spectra[5].im, 4.9e-324);
  EXPECT_TRUE(std::signbit(back.spectra[7].im));
  EXPECT_EQ(back.spectra[71].re, r.spectra[71].re);

  EXPECT_TRUE(decode_records(encode_records({}), shape).empty());
  Bytes cut = encode_records({first, r});
  cut.resize(cut.size() - 1);
  EXPECT_THROW(decode_records(cut, shape), CodecError);
  r.row = 0;  // row 0 holds one subfault, the record two
  EXPECT_THROW(decode_records(encode_records({first, r}), shape), CodecError);
  shape.nfreq = 3;
  r.row = 1;
  EXPECT_THROW(decode_records(encode_records({r}), shape), CodecError);

  // A bank with forces: their spectra travel after the moment tensor's, and a record without
  // them does not fit.
  shape.nfreq = 2;
  shape.force = true;
  for (int i = 0; i < 2 * 2 * lg::kForceComponents; ++i)
    r.force_spectra.push_back(Cx{-i * 1e-3, 1.0});
  const std::vector<JournalRecord> forces = decode_records(encode_records({r}), shape);
  ASSERT_EQ(forces.size(), 1u);
  EXPECT_EQ(forces[0].force_spectra.size(), r.force_spectra.size());
  EXPECT_EQ(forces[0].force_spectra[35].re, r.force_spectra[35].re);
  EXPECT_EQ(forces[0].spectra.size(), r.spectra.size());
  EXPECT_THROW(decode_records(encode_records({first}), shape), CodecError);

  // With strain: the strain (six components) of the moment tensor and of the forces follow
  // the forces' displacement, and a record without them does not fit.
  shape.strain = true;
  JournalRecord s = r;
  for (int i = 0; i < 2 * 2 * lg::kElements * 6; ++i) s.strain_spectra.push_back(Cx{1.0, i * 1e-2});
  s.force_strain_spectra.assign(2 * 2 * lg::kForceCount * 6, Cx{-3.0, 0.5});
  const std::vector<JournalRecord> strained = decode_records(encode_records({s}), shape);
  ASSERT_EQ(strained.size(), 1u);
  EXPECT_EQ(strained[0].strain_spectra.size(), s.strain_spectra.size());
  EXPECT_EQ(strained[0].strain_spectra[143].im, s.strain_spectra[143].im);
  EXPECT_EQ(strained[0].force_spectra[35].re, r.force_spectra[35].re);
  EXPECT_EQ(strained[0].force_strain_spectra[71].re, -3.0);
  EXPECT_THROW(decode_records(encode_records({r}), shape), CodecError);
}

}  // namespace
}  // namespace lg
