// Makes the demo site that SiteFixture(true) copies: run by the build, so that a test gets the
// demo catalog by copying three files instead of loading it again.
//   make_demo_site DIR
#include <iostream>
#include <stdexcept>

#include "site_create.h"
#include "site_fixture.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_demo_site DIR\n";
    return 2;
  }
  try {
    kestrin::tools::createSite({argv[1],
                                kestrin::testing::SiteFixture::kSiteId,
                                kestrin::testing::SiteFixture::kPassword,
                                true,
                                true,
                                {}});
  } catch (const std::exception& e) {
    std::cerr << "make_demo_site: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
