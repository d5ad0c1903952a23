#pragma once
// Base of the program's singletons: one instance, created by the accessor on
// first use and kept until the process ends.

namespace ORV {

template <class T>
class CSingleton {
 public:
  virtual ~CSingleton() = default;

  static T& Instance() {
    static T instance;
    return instance;
  }

 protected:
  CSingleton() = default;
  CSingleton(const CSingleton&) = delete;
  CSingleton& operator=(const CSingleton&) = delete;
};

}  // namespace ORV
