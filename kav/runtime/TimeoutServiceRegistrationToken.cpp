#include "kav/runtime/TimeoutServiceRegistrationToken.h"


TimeoutServiceRegistrationToken::TimeoutServiceRegistrationToken(const kavstl::string& text) : m_text(text) {}

TimeoutServiceRegistrationToken::~TimeoutServiceRegistrationToken() = default;

