#include "mpi/job_codec.h"

namespace lg {

namespace {

// Marks the layout; a buffer from another layout is refused instead of misread.
constexpr std::int32_t kLayout = 0x4c474a33;  // "LGJ3"

void put_layer_column(ByteWriter& w, const PerLayer<double>& column) {
  for (double v : column) w.put_double(v);
}

void get_layer_column(ByteReader& r, PerLayer<double>& column) {
  for (double& v : column) v = r.get_double();
}

void put_job(ByteWriter& w, const DataSetJob& job) {
  w.put_string(job.station);
  w.put_int(job.data_set);
  w.put_size(job.result_names.size());
  for (const std::string& name : job.result_names) w.put_string(name);

  const HeaderValues& h = job.header;
  w.put_int(h.nstati);
  w.put_int(h.ndatas);
  w.put_int(h.ns1);
  w.put_int(h.ns2);
  w.put_int(h.nw1);
  w.put_int(h.fault.nszahy);
  w.put_int(h.fault.nwzahy);
  w.put_double(h.fault.sazi);
  w.put_double(h.fault.dip);
  const ModelParams& p = h.params;
  w.put_int(p.NC);
  w.put_int(p.NFREQ);
  w.put_double(p.TL);
  w.put_double(p.AW);
  w.put_int(p.NR);
  w.put_double(p.XL);
  w.put_int(p.IKMAX);
  w.put_double(p.UCONV);
  w.put_double(p.XS);
  w.put_double(p.YS);
  w.put_double(h.ZS);

  const LayerModel& l = job.layers;
  w.put_int(l.nc);
  put_layer_column(w, l.hc);
  put_layer_column(w, l.vp);
  put_layer_column(w, l.vs);
  put_layer_column(w, l.rho);
  put_layer_column(w, l.qp);
  put_layer_column(w, l.qs);

  w.put_doubles(job.x);
  w.put_doubles(job.y);
  w.put_doubles(job.z);
}

DataSetJob get_job(ByteReader& r) {
  DataSetJob job;
  job.station = r.get_string();
  job.data_set = r.get_int();
  // Each name takes at least its 8-byte length.
  job.result_names.resize(static_cast<std::size_t>(r.get_size(8)));
  for (std::string& name : job.result_names) name = r.get_string();

  HeaderValues& h = job.header;
  h.nstati = r.get_int();
  h.ndatas = r.get_int();
  h.ns1 = r.get_int();
  h.ns2 = r.get_int();
  h.nw1 = r.get_int();
  h.fault.nszahy = r.get_int();
  h.fault.nwzahy = r.get_int();
  h.fault.sazi = r.get_double();
  h.fault.dip = r.get_double();
  ModelParams& p = h.params;
  p.NC = r.get_int();
  p.NFREQ = r.get_int();
  p.TL = r.get_double();
  p.AW = r.get_double();
  p.NR = r.get_int();
  p.XL = r.get_double();
  p.IKMAX = r.get_int();
  p.UCONV = r.get_double();
  p.XS = r.get_double();
  p.YS = r.get_double();
  h.ZS = r.get_double();

  LayerModel& l = job.layers;
  l.nc = r.get_int();
  get_layer_column(r, l.hc);
  get_layer_column(r, l.vp);
  get_layer_column(r, l.vs);
  get_layer_column(r, l.rho);
  get_layer_column(r, l.qp);
  get_layer_column(r, l.qs);

  job.x = r.get_doubles();
  job.y = r.get_doubles();
  job.z = r.get_doubles();
  return job;
}

// A job takes at least this many bytes (its layer table alone over a thousand).
constexpr std::size_t kMinJobBytes = 64;

}  // namespace

Bytes encode_assignment(const JobAssignment& a) {
  ByteWriter w;
  w.put_int(kLayout);
  w.put_size(a.index);
  w.put_size(a.jobs.size());
  for (const DataSetJob& job : a.jobs) put_job(w, job);
  return w.take();
}

JobAssignment decode_assignment(const Bytes& bytes) {
  ByteReader r(bytes);
  if (r.get_int() != kLayout) throw CodecError("not a job message");
  JobAssignment a;
  a.index = static_cast<std::size_t>(r.get_size(0));
  a.jobs.resize(static_cast<std::size_t>(r.get_size(kMinJobBytes)));
  for (DataSetJob& job : a.jobs) job = get_job(r);
  r.expect_end();
  return a;
}

}  // namespace lg
