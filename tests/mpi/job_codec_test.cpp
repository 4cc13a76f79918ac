// The messages between the ranks: a unit's jobs, and its report, come back from their bytes
// exactly as they went in (doubles bit for bit), and damaged messages are refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "inputs/run_plan.h"
#include "mpi/job_codec.h"
#include "mpi/unit_report.h"

namespace lg {
namespace {

namespace fs = std::filesystem;

std::uint64_t bits(double d) {
  return std::bit_cast<std::uint64_t>(d);
}

void expect_same_doubles(const std::vector<double>& a, const std::vector<double>& b,
                         const char* what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(bits(a[i]), bits(b[i])) << what << i;
}

void expect_same_column(const PerLayer<double>& a, const PerLayer<double>& b, const char* what) {
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(bits(a[i]), bits(b[i])) << what << i;
}

// Every field of the two jobs, doubles compared by their bits.
void expect_same_job(const DataSetJob& a, const DataSetJob& b) {
  EXPECT_EQ(a.station, b.station);
  EXPECT_EQ(a.data_set, b.data_set);
  EXPECT_EQ(a.result_names, b.result_names);
  const HeaderValues& h = a.header;
  const HeaderValues& g = b.header;
  EXPECT_EQ(h.nstati, g.nstati);
  EXPECT_EQ(h.ndatas, g.ndatas);
  EXPECT_EQ(h.ns1, g.ns1);
  EXPECT_EQ(h.ns2, g.ns2);
  EXPECT_EQ(h.nw1, g.nw1);
  EXPECT_EQ(h.fault.nszahy, g.fault.nszahy);
  EXPECT_EQ(h.fault.nwzahy, g.fault.nwzahy);
  EXPECT_EQ(bits(h.fault.sazi), bits(g.fault.sazi));
  EXPECT_EQ(bits(h.fault.dip), bits(g.fault.dip));
  EXPECT_EQ(h.params.NC, g.params.NC);
  EXPECT_EQ(h.params.NFREQ, g.params.NFREQ);
  EXPECT_EQ(bits(h.params.TL), bits(g.params.TL));
  EXPECT_EQ(bits(h.params.AW), bits(g.params.AW));
  EXPECT_EQ(h.params.NR, g.params.NR);
  EXPECT_EQ(bits(h.params.XL), bits(g.params.XL));
  EXPECT_EQ(h.params.IKMAX, g.params.IKMAX);
  EXPECT_EQ(bits(h.params.UCONV), bits(g.params.UCONV));
  EXPECT_EQ(bits(h.params.XS), bits(g.params.XS));
  EXPECT_EQ(bits(h.params.YS), bits(g.params.YS));
  EXPECT_EQ(bits(h.ZS), bits(g.ZS));
  expect_same_column(a.layers.hc, b.layers.hc, "hc");
  expect_same_column(a.layers.vp, b.layers.vp, "vp");
  expect_same_column(a.layers.vs, b.layers.vs, "vs");
  expect_same_column(a.layers.rho, b.layers.rho, "rho");
  expect_same_column(a.layers.qp, b.layers.qp, "qp");
  expect_same_column(a.layers.qs, b.layers.qs, "qs");
  EXPECT_EQ(a.layers.nc, b.layers.nc);
  expect_same_doubles(a.x, b.x, "x");
  expect_same_doubles(a.y, b.y, "y");
  expect_same_doubles(a.z, b.z, "z");
}

// A job whose every field differs from its default, with the awkward doubles.
DataSetJob odd_job() {
  const double nan_payload = std::bit_cast<double>(std::uint64_t{0x7ff4000000abcdefULL});
  const double neg_nan = std::bit_cast<double>(std::uint64_t{0xfff8000000000001ULL});
  DataSetJob j;
  j.station = std::string("O\0K", 3);
  j.data_set = 17;
  j.result_names = {"green/OSK/OSK.1", "", "green/ÖSK/ÖSK.1000 with blanks  "};
  j.header.nstati = 30;
  j.header.ndatas = 20;
  j.header.ns1 = 2;
  j.header.ns2 = 29;
  j.header.nw1 = -7;
  j.header.fault = {28, 19, 45.1, -0.0};
  j.header.params.NC = 20;
  j.header.params.NFREQ = std::numeric_limits<int>::max();
  j.header.params.TL = 25.6;
  j.header.params.AW = nan_payload;
  j.header.params.NR = std::numeric_limits<int>::min();
  j.header.params.XL = std::numeric_limits<double>::infinity();
  j.header.params.IKMAX = 2000;
  j.header.params.UCONV = std::numeric_limits<double>::denorm_min();
  j.header.params.XS = -std::numeric_limits<double>::infinity();
  j.header.params.YS = std::numeric_limits<double>::max();
  j.header.ZS = 0.1 + 0.2;
  for (std::size_t i = 0; i < j.layers.hc.size(); ++i) {
    const double d = static_cast<double>(i);
    j.layers.hc[i] = d / 3.0;
    j.layers.vp[i] = -d / 7.0;
    j.layers.vs[i] = d * 1e-310;  // subnormal
    j.layers.rho[i] = std::nextafter(d, 1e9);
    j.layers.qp[i] = i % 2 ? neg_nan : -0.0;
    j.layers.qs[i] = std::numeric_limits<double>::lowest() / (d + 1.0);
  }
  j.x = {0.0, -0.0, 1.0 / 3.0, nan_payload};
  j.layers.nc = 7;
  j.y = {std::numeric_limits<double>::epsilon(), 2.0, 3.0, 4.5e300};
  j.z = {};
  return j;
}

TEST(JobCodec, RoundTripKeepsEveryFieldBitForBit) {
  DataSetJob second = odd_job();
  second.station = "KBE";
  second.x = {};
  second.z = {-1.5};
  const JobAssignment a{123456789012ULL, {odd_job(), second, DataSetJob{}}};
  const Bytes bytes = encode_assignment(a);
  const JobAssignment b = decode_assignment(bytes);
  EXPECT_EQ(b.index, a.index);
  ASSERT_EQ(b.jobs.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) expect_same_job(a.jobs[i], b.jobs[i]);
  EXPECT_EQ(encode_assignment(b), bytes);
}

// Any change of the job's fields needs the codec (and expect_same_job) to follow.
TEST(JobCodec, JobLayoutIsTheOneTheCodecKnows) {
  EXPECT_EQ(sizeof(SubfaultHeader), 24u) << "SubfaultHeader changed: update the job codec";
  EXPECT_EQ(sizeof(ModelParams), 72u) << "ModelParams changed: update the job codec";
  EXPECT_EQ(sizeof(HeaderValues), 128u) << "HeaderValues changed: update the job codec";
  EXPECT_EQ(sizeof(LayerModel), sizeof(double) + 6 * (kMaxLayers + 1) * sizeof(double))
      << "LayerModel changed: update the job codec";
  EXPECT_EQ(sizeof(DataSetJob), sizeof(std::string) + 8 + 4 * sizeof(std::vector<double>) +
                                    sizeof(HeaderValues) + sizeof(LayerModel))
      << "DataSetJob changed: update the job codec";
}

TEST(JobCodec, EveryTruncationIsRefused) {
  const Bytes bytes = encode_assignment(JobAssignment{3, {odd_job()}});
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    const Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_THROW(decode_assignment(cut), CodecError) << "cut at " << n;
  }
}

TEST(JobCodec, TrailingBytesAndForeignMessagesAreRefused) {
  Bytes bytes = encode_assignment(JobAssignment{3, {odd_job()}});
  bytes.push_back(0);
  EXPECT_THROW(decode_assignment(bytes), CodecError);
  EXPECT_THROW(decode_assignment(encode_report(UnitReport{})), CodecError);
}

TEST(JobCodec, ImpossibleCountIsRefusedBeforeAllocating) {
  Bytes bytes = encode_assignment(JobAssignment{3, {odd_job()}});
  // The job count follows the layout mark (4 bytes) and the index (8), the first station's
  // length the count: make either huge.
  Bytes jobs = bytes;
  for (std::size_t b = 12; b < 20; ++b) jobs[b] = 0xff;
  EXPECT_THROW(decode_assignment(jobs), CodecError);
  jobs[12] = 2;  // two jobs where the message holds one
  for (std::size_t b = 13; b < 20; ++b) jobs[b] = 0;
  EXPECT_THROW(decode_assignment(jobs), CodecError);
  for (std::size_t b = 20; b < 28; ++b) bytes[b] = 0xff;
  EXPECT_THROW(decode_assignment(bytes), CodecError);
}

// The jobs of the bundled example, as read by the run, survive the trip unchanged.
TEST(JobCodec, JobsOfTheExampleRoundTrip) {
  const fs::path dir =
      fs::temp_directory_path() / ("layergreen-codec-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::copy(LAYERGREEN_EXAMPLES "/basic", dir, fs::copy_options::recursive);
  const fs::path before = fs::current_path();
  fs::current_path(dir);
  std::ostringstream echo;
  const RunPlan plan = plan_run(RunOptions{}, echo);
  fs::current_path(before);
  fs::remove_all(dir);

  ASSERT_EQ(plan.status, kExitOk) << plan.message;
  ASSERT_EQ(plan.jobs.size(), 4u);
  for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
    const JobAssignment b = decode_assignment(encode_assignment(JobAssignment{i, {plan.jobs[i]}}));
    EXPECT_EQ(b.index, i);
    ASSERT_EQ(b.jobs.size(), 1u);
    expect_same_job(plan.jobs[i], b.jobs[0]);
  }
  EXPECT_EQ(plan.jobs[3].station, "KBE");
  EXPECT_EQ(plan.jobs[3].data_set, 2);
}

TEST(UnitReportCodec, RoundTrips) {
  UnitReport r;
  r.unit = 41;
  r.failed = true;
  r.error = "cannot write result file green/KBE/KBE.3: No space left on device";
  r.warnings = "layergreen: warning: one\nlayergreen: warning: two\n";
  const UnitReport s = decode_report(encode_report(r));
  ASSERT_TRUE(s.unit.has_value());
  EXPECT_EQ(*s.unit, 41u);
  EXPECT_TRUE(s.failed);
  EXPECT_EQ(s.error, r.error);
  EXPECT_EQ(s.warnings, r.warnings);

  const UnitReport first = decode_report(encode_report(UnitReport{}));
  EXPECT_FALSE(first.unit.has_value());
  EXPECT_FALSE(first.failed);
  EXPECT_TRUE(first.error.empty());
  EXPECT_TRUE(first.warnings.empty());

  UnitReport zero;
  zero.unit = 0;
  const UnitReport z = decode_report(encode_report(zero));
  ASSERT_TRUE(z.unit.has_value());
  EXPECT_EQ(*z.unit, 0u);
}

TEST(UnitReportCodec, DamagedReportsAreRefused) {
  UnitReport r;
  r.unit = 2;
  r.warnings = "text";
  const Bytes bytes = encode_report(r);
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    const Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_THROW(decode_report(cut), CodecError) << "cut at " << n;
  }
  Bytes flag = bytes;
  flag[4] = 2;  // the unit flag is 0 or 1
  EXPECT_THROW(decode_report(flag), CodecError);
  EXPECT_THROW(decode_report(encode_assignment(JobAssignment{})), CodecError);
}

}  // namespace
}  // namespace lg
