#include "analysis_control/frame_pool.h"

#include <mutex>
#include <vector>

namespace ORV {

// The memory of pooled images. OpenCV calls it for every image whose memory
// it made, from whichever thread lets go of the image last.
class FramePool::Allocator final : public cv::MatAllocator {
 public:
  cv::UMatData* allocate(int dims, const int* sizes, int type, void* data0, std::size_t* step, cv::AccessFlag,
                         cv::UMatUsageFlags) const override {
    std::size_t total = CV_ELEM_SIZE(type);
    for (int i = dims - 1; i >= 0; --i) {
      if (step) {
        if (data0 && step[i] != cv::Mat::AUTO_STEP) {
          CV_Assert(total <= step[i]);
          total = step[i];
        } else {
          step[i] = total;
        }
      }
      total *= static_cast<std::size_t>(sizes[i]);
    }
    auto* data = static_cast<uchar*>(data0);
    if (!data) data = TakeKept(total);
    if (!data) data = static_cast<uchar*>(cv::fastMalloc(total));
    auto* u = new cv::UMatData(this);
    u->data = u->origdata = data;
    u->size = total;
    if (data0) u->flags |= cv::UMatData::USER_ALLOCATED;
    std::lock_guard lock(mutex_);
    ++outstanding_;
    return u;
  }

  bool allocate(cv::UMatData* u, cv::AccessFlag, cv::UMatUsageFlags) const override { return u != nullptr; }

  void deallocate(cv::UMatData* u) const override {
    if (!u) return;
    bool last = false;
    {
      std::lock_guard lock(mutex_);
      if (!(u->flags & cv::UMatData::USER_ALLOCATED)) {
        if (!closed_ && kept_.size() < kMaxKept) {
          kept_.push_back({u->origdata, u->size});
        } else {
          cv::fastFree(u->origdata);
        }
      }
      --outstanding_;
      last = closed_ && outstanding_ == 0;
    }
    delete u;
    if (last) delete this;
  }

  std::size_t Kept() const {
    std::lock_guard lock(mutex_);
    return kept_.size();
  }

  void Clear() const {
    std::vector<Buffer> kept;
    {
      std::lock_guard lock(mutex_);
      kept.swap(kept_);
    }
    for (const Buffer& b : kept) cv::fastFree(b.data);
  }

  // The pool has gone: frees the kept memory, and this allocator too once no
  // image from it is left.
  void Close() {
    bool last;
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
      last = outstanding_ == 0;
    }
    Clear();
    if (last) delete this;
  }

 private:
  struct Buffer {
    uchar* data;
    std::size_t size;
  };

  uchar* TakeKept(std::size_t size) const {
    std::lock_guard lock(mutex_);
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
      if (it->size != size) continue;
      uchar* data = it->data;
      kept_.erase(it);
      return data;
    }
    return nullptr;
  }

  mutable std::mutex mutex_;
  mutable std::vector<Buffer> kept_;
  mutable std::size_t outstanding_ = 0;  // images of this allocator not yet let go
  bool closed_ = false;
};

FramePool::FramePool() : allocator_(new Allocator) {}

FramePool::~FramePool() { allocator_->Close(); }

cv::Mat FramePool::Take(cv::Size size, int type) {
  cv::Mat image;
  image.allocator = allocator_;
  image.create(size, type);
  return image;
}

void FramePool::Clear() { allocator_->Clear(); }

std::size_t FramePool::Kept() const { return allocator_->Kept(); }

bool FramePool::IsPooled(const cv::Mat& image) {
  return image.u && dynamic_cast<const Allocator*>(image.u->currAllocator) != nullptr;
}

}  // namespace ORV
