// HDF5 identifiers that close themselves: a file, group, dataset, dataspace, datatype,
// property list or attribute is closed when its handle goes out of scope, also when a write
// throws on the way.
#pragma once

#include <hdf5.h>

#include <utility>

namespace lg {

template <herr_t (*Close)(hid_t)>
class H5Handle {
 public:
  H5Handle() = default;
  explicit H5Handle(hid_t id) : id_(id) {}
  ~H5Handle() { close(); }
  H5Handle(H5Handle&& o) noexcept : id_(std::exchange(o.id_, -1)) {}
  H5Handle& operator=(H5Handle&& o) noexcept {
    if (this != &o) {
      close();
      id_ = std::exchange(o.id_, -1);
    }
    return *this;
  }
  H5Handle(const H5Handle&) = delete;
  H5Handle& operator=(const H5Handle&) = delete;

  hid_t get() const { return id_; }
  bool valid() const { return id_ >= 0; }
  // Closes the identifier now (if it is open); false when HDF5 fails to close it.
  bool close() {
    const hid_t id = std::exchange(id_, -1);
    return id < 0 || Close(id) >= 0;
  }

 private:
  hid_t id_ = -1;
};

using H5File = H5Handle<H5Fclose>;
using H5Group = H5Handle<H5Gclose>;
using H5Dataset = H5Handle<H5Dclose>;
using H5Space = H5Handle<H5Sclose>;
using H5Type = H5Handle<H5Tclose>;
using H5PropertyList = H5Handle<H5Pclose>;
using H5Attribute = H5Handle<H5Aclose>;

}  // namespace lg
