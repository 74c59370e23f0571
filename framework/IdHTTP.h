// TIdHTTP: an HTTP client component as a form stores it: its connection and request settings.
// It is idle: it opens no connection and nothing in the program calls it. Win32.
#pragma once

#include <memory>

#include "framework/Components.h"

// The request settings of the client.
class THttpRequestSettings : public TPersistent {
  T_CLASS(THttpRequestSettings, TPersistent)

 public:
  const AnsiString& Accept() const { return FAccept; }
  void SetAccept(const AnsiString& Value) { FAccept = Value; }
  const AnsiString& UserAgent() const { return FUserAgent; }
  void SetUserAgent(const AnsiString& Value) { FUserAgent = Value; }
  const AnsiString& ContentType() const { return FContentType; }
  void SetContentType(const AnsiString& Value) { FContentType = Value; }
  // -1: no length is sent.
  int ContentLength() const { return FContentLength; }
  void SetContentLength(int Value) { FContentLength = Value; }
  bool BasicAuthentication() const { return FBasicAuthentication; }
  void SetBasicAuthentication(bool Value) { FBasicAuthentication = Value; }

 private:
  AnsiString FAccept = "text/html, */*";
  AnsiString FUserAgent = "Tavisko TV/4.0";
  AnsiString FContentType;
  int FContentLength = -1;
  bool FBasicAuthentication = false;
};

// The proxy settings of the client (no proxy by default).
class THttpProxySettings : public TPersistent {
  T_CLASS(THttpProxySettings, TPersistent)

 public:
  const AnsiString& ProxyServer() const { return FProxyServer; }
  void SetProxyServer(const AnsiString& Value) { FProxyServer = Value; }
  int ProxyPort() const { return FProxyPort; }
  void SetProxyPort(int Value) { FProxyPort = Value; }
  bool BasicAuthentication() const { return FBasicAuthentication; }
  void SetBasicAuthentication(bool Value) { FBasicAuthentication = Value; }

 private:
  AnsiString FProxyServer;
  int FProxyPort = 0;
  bool FBasicAuthentication = false;
};

class TIdHTTP : public TComponent {
  T_CLASS(TIdHTTP, TComponent)

 public:
  explicit TIdHTTP(TComponent* AOwner);
  ~TIdHTTP() override;

  bool AllowCookies() const { return FAllowCookies; }
  void SetAllowCookies(bool Value) { FAllowCookies = Value; }
  bool HandleRedirects() const { return FHandleRedirects; }
  void SetHandleRedirects(bool Value) { FHandleRedirects = Value; }
  int RedirectMaximum() const { return FRedirectMaximum; }
  void SetRedirectMaximum(int Value) { FRedirectMaximum = Value; }
  // Milliseconds; 0: the system's own limit.
  int ConnectTimeout() const { return FConnectTimeout; }
  void SetConnectTimeout(int Value) { FConnectTimeout = Value; }
  // Milliseconds; -1: no limit.
  int ReadTimeout() const { return FReadTimeout; }
  void SetReadTimeout(int Value) { FReadTimeout = Value; }
  THttpRequestSettings* Request() const { return FRequest.get(); }
  THttpProxySettings* ProxyParams() const { return FProxyParams.get(); }
  // Always false: the component never connects.
  bool Connected() const { return false; }

 private:
  bool FAllowCookies = true;
  bool FHandleRedirects = false;
  int FRedirectMaximum = 15;
  int FConnectTimeout = 0;
  int FReadTimeout = -1;
  std::unique_ptr<THttpRequestSettings> FRequest;
  std::unique_ptr<THttpProxySettings> FProxyParams;
};
