#include "platform/SubStatusWrapper.h"

#include "platform/PlatformImpl.h"

SubStatusWrapper::SubStatusWrapper()
    : m_subStatusData(PlatformImpl::getUISubStatusData()),
      m_subStatus(PlatformImpl::getUISubStatus()) {}

SubStatusWrapper::~SubStatusWrapper() {
  PlatformImpl::setUISubStatus(m_subStatus, m_subStatusData);
}
