#pragma once
// GMime is set up once per process before any of the mime files calls it.

namespace corvelle {

void EnsureGMime();

}  // namespace corvelle
