#include "app/gui/PlayRequests.h"

namespace tq {

PlayRequests& SharedPlayRequests() {
  static PlayRequests requests;
  return requests;
}

}  // namespace tq
