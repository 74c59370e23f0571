#include "framework/IdHTTP.h"

#include "framework/TypInfo.h"

TIdHTTP::TIdHTTP(TComponent* AOwner)
    : TComponent(AOwner),
      FRequest(std::make_unique<THttpRequestSettings>()),
      FProxyParams(std::make_unique<THttpProxySettings>()) {}

TIdHTTP::~TIdHTTP() = default;

T_PUBLISH(THttpRequestSettings) {
  P.String("Accept", &THttpRequestSettings::Accept, &THttpRequestSettings::SetAccept);
  P.String("UserAgent", &THttpRequestSettings::UserAgent, &THttpRequestSettings::SetUserAgent);
  P.String("ContentType", &THttpRequestSettings::ContentType, &THttpRequestSettings::SetContentType);
  P.Ordinal("ContentLength", &THttpRequestSettings::ContentLength, &THttpRequestSettings::SetContentLength);
  P.Boolean("BasicAuthentication", &THttpRequestSettings::BasicAuthentication,
            &THttpRequestSettings::SetBasicAuthentication);
}

T_PUBLISH(THttpProxySettings) {
  P.String("ProxyServer", &THttpProxySettings::ProxyServer, &THttpProxySettings::SetProxyServer);
  P.Ordinal("ProxyPort", &THttpProxySettings::ProxyPort, &THttpProxySettings::SetProxyPort);
  P.Boolean("BasicAuthentication", &THttpProxySettings::BasicAuthentication, &THttpProxySettings::SetBasicAuthentication);
}

T_PUBLISH(TIdHTTP) {
  P.Boolean("AllowCookies", &TIdHTTP::AllowCookies, &TIdHTTP::SetAllowCookies);
  P.Boolean("HandleRedirects", &TIdHTTP::HandleRedirects, &TIdHTTP::SetHandleRedirects);
  P.Ordinal("RedirectMaximum", &TIdHTTP::RedirectMaximum, &TIdHTTP::SetRedirectMaximum);
  P.Ordinal("ConnectTimeout", &TIdHTTP::ConnectTimeout, &TIdHTTP::SetConnectTimeout);
  P.Ordinal("ReadTimeout", &TIdHTTP::ReadTimeout, &TIdHTTP::SetReadTimeout);
  P.Object("Request", &TIdHTTP::Request);
  P.Object("ProxyParams", &TIdHTTP::ProxyParams);
}
