// The addresses the program names. They are example values that lead nowhere: host names under
// the reserved ".invalid" domain and a stream server from an address block reserved for
// documentation (TEST-NET-2). A deployment puts its own hosts here.
#pragma once

// The web server that serves the player file (path "/flashplay/VUDIPlayer.swf").
inline constexpr const char* PlayerFileHost = "player.tavisko.invalid";
// The live-stream server, an IPv4 address (port 5021, path "/live/<id>|c03").
inline constexpr const char* StreamServer = "198.51.100.20";
// The web server of the special page that channel id 666 opens (path "/page1.html").
inline constexpr const char* SpecialPageHost = "special.tavisko.invalid";
// The program's web site, opened by the new-version notice.
inline constexpr const char* WebSiteAddress = "http://www.tavisko.invalid/";
