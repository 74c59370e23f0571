// The share of a large table of cases that one run takes: every case when the environment asks for
// the whole (its variable <Prefix>_ALL is 1), otherwise about one in Spread, picked by a fixed seed
// (<Prefix>_SEED picks another share), the same cases in every run. Each case is named by a few
// numbers (its road, handler, change ...). Portable.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <string>

namespace tableshare {

// An environment variable's whole number (Default when it is unset or empty).
inline int EnvInt(const char* Name, int Default) {
  const char* V = std::getenv(Name);
  return V != nullptr && *V != 0 ? std::atoi(V) : Default;
}

class TShare {
 public:
  TShare(const std::string& Prefix, unsigned DefaultSeed, unsigned Spread)
      : FAll(EnvInt((Prefix + "_ALL").c_str(), 0) != 0),
        FSeed(static_cast<unsigned>(EnvInt((Prefix + "_SEED").c_str(), static_cast<int>(DefaultSeed)))),
        FSpread(Spread) {}

  bool All() const { return FAll; }

  // Whether the case named by Key is in this run's share.
  bool Holds(std::initializer_list<unsigned> Key) const {
    if (FAll) return true;
    unsigned X = FSeed * 2654435761u;
    for (const unsigned K : Key) {
      X = (X ^ K) * 2246822519u;
      X ^= X >> 15;
    }
    X *= 2654435761u;
    X ^= X >> 13;
    return X % FSpread == 0;
  }

 private:
  bool FAll;
  unsigned FSeed;
  unsigned FSpread;
};

}  // namespace tableshare
