// The system's cache of host-name lookups, which can keep answering with what it looked up
// before the hosts file changed: a tracker resolved a minute before Activate would keep its
// real address until its entry expired.
#pragma once

namespace tsl {

class NameCache {
 public:
  virtual ~NameCache() = default;
  // Best effort: the hosts file is already right, so a cache that cannot be flushed is
  // left to expire on its own and nothing is reported.
  virtual void Flush() = 0;
};

// DnsFlushResolverCache of the DNS Client on Windows; on POSIX, the hosts cache of a
// running nscd (glibc and systemd-resolved read /etc/hosts afresh by themselves).
NameCache& SystemNameCache();

}  // namespace tsl
