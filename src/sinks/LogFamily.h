// The names one log file pattern makes in its folder: the names the pattern gives at any
// time ("orders_20261207.log" for "orders_%y%m%d.log") and the rotated names of those
// ("orders_20261207.20261207-231500-042.log"). Retention looks for exactly these names;
// nothing else in the folder is ever touched.
#pragma once
#include <string>

class ksLogFamily {
  public:
    // pattern: the "File" setting (only its last component counts); application: the
    // name that "%n" stands for.
    ksLogFamily(const char* pattern, const char* application);

    // name: a bare file name, without its folder.
    bool contains(const char* name) const;

  private:
    // A shape holds the name's bytes, with '\0' where any decimal digit may stand. Every
    // token has a fixed width, so a name matches a shape byte for byte.
    static bool matches(const std::string& shape, const char* name);

    std::string plain_;
    std::string rotated_;
};
