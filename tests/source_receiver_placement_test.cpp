// Source-receiver geometry of a data set: depth ordering, receivers above the source,
// distances and azimuths, layer thicknesses, and the layers of source and receivers.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "kernel/records.h"
#include "kernel/source_receiver_placement.h"

namespace lg {
namespace {

struct Point {
  double x, y, z;
};

class Geometry : public ::testing::Test {
 protected:
  Geometry() : c_(new Workspace) {}

  void receivers(const std::vector<Point>& r) {
    given_ = ReceiverPositions(static_cast<int>(r.size()));
    for (std::size_t i = 0; i < r.size(); ++i) {
      given_.xr[i + 1] = r[i].x;
      given_.yr[i + 1] = r[i].y;
      given_.zr[i + 1] = r[i].z;
    }
  }
  void source(double xs, double ys, double zs) {
    c_->source.x = xs;
    c_->source.y = ys;
    c_->source.z = zs;
  }
  void layers(const std::vector<double>& hc) {
    c_->model.nc = static_cast<int>(hc.size());
    for (std::size_t i = 0; i < hc.size(); ++i) c_->model.hc[i + 1] = hc[i];
  }
  // The layer table as thicknesses, then the placement.
  void place() {
    c_->model = layer_thicknesses(c_->model);
    place_source_and_receivers(c_->model, c_->source, given_, c_->receivers, c_->placement);
  }
  std::vector<Point> ordered() const {
    std::vector<Point> v;
    for (int ir = 1; ir <= c_->placement.nr; ++ir) {
      v.push_back({c_->receivers.xr[ir], c_->receivers.yr[ir], c_->receivers.zr[ir]});
    }
    return v;
  }

  std::unique_ptr<Workspace> c_;
  ReceiverPositions given_;
  ReceiverPositions& b() { return c_->receivers; }
  Placement& d() { return c_->placement; }
  LayerModel& e() { return c_->model; }
  // hc[1] to hc[n] of the layer table.
  std::vector<double> hc(int n) const { return {&c_->model.hc[1], &c_->model.hc[1] + n}; }
};

bool operator==(const Point& a, const Point& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}
std::ostream& operator<<(std::ostream& os, const Point& p) {
  return os << "(" << p.x << ", " << p.y << ", " << p.z << ")";
}

// Depth ordering -------------------------------------------------------------------------

TEST_F(Geometry, DepthsThreeOneTwoBecomeOneTwoThreeWithTheirCoordinates) {
  layers({10.0, 0.0});
  source(0, 0, 5);
  receivers({{1, 10, 3}, {2, 20, 1}, {3, 30, 2}});
  place();
  EXPECT_EQ(ordered(), (std::vector<Point>{{2, 20, 1}, {3, 30, 2}, {1, 10, 3}}));
}

TEST_F(Geometry, EqualDepthsChangeOrderOnlyThroughAShallowerReceiver) {
  layers({10.0, 0.0});
  source(0, 0, 5);
  receivers({{1, 0, 2}, {2, 0, 2}, {3, 0, 1}});
  place();
  EXPECT_EQ(ordered(), (std::vector<Point>{{3, 0, 1}, {2, 0, 2}, {1, 0, 2}}));

  // Without a shallower receiver, equal depths keep their order.
  receivers({{1, 0, 2}, {2, 0, 2}, {3, 0, 2}, {4, 0, 3}});
  place();
  EXPECT_EQ(ordered(), (std::vector<Point>{{1, 0, 2}, {2, 0, 2}, {3, 0, 2}, {4, 0, 3}}));
}

TEST_F(Geometry, OrderingUsesOnlyTheFirstNrReceivers) {
  layers({10.0, 0.0});
  source(0, 0, 5);
  receivers({{1, 0, 4}, {2, 0, 3}});
  // A shallower receiver beyond NR takes no part.
  for (auto* v : {&given_.xr, &given_.yr, &given_.zr, &given_.caz, &given_.saz}) v->resize(4);
  given_.xr[3] = 9;
  given_.zr[3] = -1;
  place();
  EXPECT_EQ(ordered(), (std::vector<Point>{{2, 0, 3}, {1, 0, 4}}));
  EXPECT_EQ(b().xr[3], 9.0);
  EXPECT_EQ(b().zr[3], -1.0);
}

TEST_F(Geometry, SingleReceiver) {
  layers({2.0, 3.0, 0.0});
  source(0, 0, 4);
  receivers({{3, 4, 2.5}});
  place();
  EXPECT_EQ(ordered(), (std::vector<Point>{{3, 4, 2.5}}));
  EXPECT_EQ(d().nrup, 1);
  EXPECT_EQ(d().rr[1], 5.0);
  EXPECT_EQ(d().lr[1], 2);
  EXPECT_EQ(d().zrl[1], 0.5);
}

// Receivers above the source ---------------------------------------------------------------

TEST_F(Geometry, ReceiversAboveTheSource) {
  layers({10.0, 0.0});
  source(0, 0, 5);
  receivers({{1, 0, 0}, {2, 0, 0}, {3, 0, 0}});
  place();
  EXPECT_EQ(d().nrup, 3);

  receivers({{1, 0, 6}, {2, 0, 7}});
  place();
  EXPECT_EQ(d().nrup, 0);

  // A receiver exactly at the source depth counts as below it.
  receivers({{1, 0, 9}, {2, 0, 5}, {3, 0, 4.999}});
  place();
  EXPECT_EQ(d().nrup, 1);
  EXPECT_EQ(b().zr[1], 4.999);

  receivers({{1, 0, 5}});
  place();
  EXPECT_EQ(d().nrup, 0);
}

// Distances and azimuths -----------------------------------------------------------------

TEST_F(Geometry, DistanceAndAzimuthFromTheSource) {
  layers({10.0, 0.0});
  source(10, 20, 5);
  receivers({{7, 24, 1}, {13, 16, 2}, {10, 25, 3}, {8, 20, 4}});
  place();
  EXPECT_DOUBLE_EQ(d().rr[1], 5.0);
  EXPECT_DOUBLE_EQ(b().caz[1], -0.6);
  EXPECT_DOUBLE_EQ(b().saz[1], 0.8);
  EXPECT_DOUBLE_EQ(d().rr[2], 5.0);
  EXPECT_DOUBLE_EQ(b().caz[2], 0.6);
  EXPECT_DOUBLE_EQ(b().saz[2], -0.8);
  EXPECT_EQ(d().rr[3], 5.0);
  EXPECT_EQ(b().caz[3], 0.0);
  EXPECT_EQ(b().saz[3], 1.0);
  EXPECT_EQ(d().rr[4], 2.0);
  EXPECT_EQ(b().caz[4], -1.0);
  EXPECT_EQ(b().saz[4], 0.0);
}

TEST_F(Geometry, ReceiverStraightAboveOrBelowTheSource) {
  layers({10.0, 0.0});
  source(-3.5, 2, 5);
  receivers({{-3.5, 2, 0}, {-3.5, 2, 8}});
  // Azimuths that come with the receivers (left by an earlier data set) must not survive.
  given_.caz[1] = given_.caz[2] = 0.25;
  given_.saz[1] = given_.saz[2] = 0.25;
  place();
  for (int ir = 1; ir <= 2; ++ir) {
    EXPECT_EQ(d().rr[ir], 0.0);
    EXPECT_EQ(b().caz[ir], 1.0);
    EXPECT_EQ(b().saz[ir], 0.0);
  }
}

TEST_F(Geometry, AzimuthsFollowTheReceiversAfterOrdering) {
  layers({10.0, 0.0});
  source(0, 0, 5);
  receivers({{0, 2, 3}, {-2, 0, 1}});
  place();
  EXPECT_EQ(b().caz[1], -1.0);
  EXPECT_EQ(b().saz[1], 0.0);
  EXPECT_EQ(b().caz[2], 0.0);
  EXPECT_EQ(b().saz[2], 1.0);
}

// Layer thicknesses ----------------------------------------------------------------------

TEST_F(Geometry, LayerTopDepthsBecomeThicknesses) {
  layers({0.0, 2.0, 5.0, 10.0});
  e().hc[5] = 77.0;  // beyond NC
  source(0, 0, 1);
  receivers({{0, 0, 0}});
  place();
  EXPECT_EQ(hc(5), (std::vector<double>{2.0, 3.0, 5.0, 10.0, 77.0}));
}

TEST_F(Geometry, ThicknessesAreLeftAlone) {
  layers({0.5, 2.0, 5.0, 0.0});
  source(0, 0, 1);
  receivers({{0, 0, 0}});
  place();
  EXPECT_EQ(hc(4), (std::vector<double>{0.5, 2.0, 5.0, 0.0}));
}

TEST_F(Geometry, ConvertedDepthsPlaceSourceAndReceivers) {
  // Tops at 0, 2, 5, 10: the source at 7 lies 2 into layer 3.
  layers({0.0, 2.0, 5.0, 10.0});
  source(0, 0, 7);
  receivers({{0, 0, 10.5}, {0, 0, 1}});
  place();
  EXPECT_EQ(d().ls, 3);
  EXPECT_EQ(d().zsl, 2.0);
  EXPECT_EQ(d().lr[1], 1);
  EXPECT_EQ(d().zrl[1], 1.0);
  EXPECT_EQ(d().lr[2], 4);
  EXPECT_EQ(d().zrl[2], 0.5);
}

// Source and receiver layers ---------------------------------------------------------------

TEST_F(Geometry, SourceLayerAndDepthInIt) {
  struct Case {
    double zs;
    int ls;
    double zsl;
  };
  // Thicknesses 2, 3, 5 over the half-space.
  const Case cases[] = {
      {2.0, 1, 2.0},  // on the interface: bottom of the layer above
      {2.5, 2, 0.5}, {12.0, 4, 2.0},  {5.0, 2, 3.0}, {10.0, 3, 5.0},
      {0.0, 1, 0.0}, {-1.5, 1, -1.5}, {1.0, 1, 1.0}, {1000.0, 4, 990.0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.zs);
    layers({2.0, 3.0, 5.0, 0.0});
    source(0, 0, k.zs);
    receivers({{0, 0, 0}});
    place();
    EXPECT_EQ(d().ls, k.ls);
    EXPECT_EQ(d().zsl, k.zsl);
  }
}

TEST_F(Geometry, ReceiverLayersAndDepthsInThem) {
  layers({2.0, 3.0, 5.0, 0.0});
  source(0, 0, 4);
  // After ordering: -1, 0, 2, 2.5, 5, 12.
  receivers({{1, 0, 12}, {2, 0, 2}, {3, 0, 0}, {4, 0, 2.5}, {5, 0, -1}, {6, 0, 5}});
  place();
  const double z[] = {-1, 0, 2, 2.5, 5, 12};
  const int lr[] = {1, 1, 1, 2, 2, 4};
  const double zrl[] = {-1, 0, 2, 0.5, 3, 2};
  for (int ir = 1; ir <= 6; ++ir) {
    SCOPED_TRACE(ir);
    EXPECT_EQ(b().zr[ir], z[ir - 1]);
    EXPECT_EQ(d().lr[ir], lr[ir - 1]);
    EXPECT_EQ(d().zrl[ir], zrl[ir - 1]);
  }
  EXPECT_EQ(d().nrup, 4);
}

TEST_F(Geometry, HalfSpaceOnly) {
  layers({0.0});
  source(0, 0, 3);
  receivers({{1, 0, 0}, {2, 0, 7}});
  place();
  EXPECT_EQ(e().hc[1], 0.0);
  EXPECT_EQ(d().ls, 1);
  EXPECT_EQ(d().zsl, 3.0);
  EXPECT_EQ(d().lr[2], 1);
  EXPECT_EQ(d().zrl[2], 7.0);
}

TEST_F(Geometry, RepeatedCallsStartFromTheValuesGiven) {
  // A second data set with the same source keeps nothing from the first.
  layers({2.0, 3.0, 0.0});
  source(0, 0, 4);
  receivers({{1, 0, 1}});
  place();
  EXPECT_EQ(d().ls, 2);
  EXPECT_EQ(d().lr[1], 1);
  source(0, 0, 1);
  receivers({{1, 0, 4}});
  place();
  EXPECT_EQ(d().ls, 1);
  EXPECT_EQ(d().zsl, 1.0);
  EXPECT_EQ(d().lr[1], 2);
  EXPECT_EQ(d().zrl[1], 2.0);
  EXPECT_EQ(d().nrup, 0);
}

}  // namespace
}  // namespace lg
