#pragma once
// SettingsOverride.xml: lets a test or staging machine point the library at
// another update service, or at another product's updates.
//
//   <Freshet>
//     <Server><Url>...</Url><PublicKey>...</PublicKey></Server>
//     <Product id="..."><Override><Id/><Url/><Extra/></Override></Product>
//   </Freshet>
#include <string>

#include "updater/freshet_settings.h"

namespace ORV::Freshet {

// $XDG_CONFIG_HOME/Orvanta/Freshet/SettingsOverride.xml
std::string DefaultSettingsOverridePath();

// Reads the file at `path` (the default path when empty) into `settings`:
// nothing happens unless the product id is set and the file parses with the
// document element "Freshet". A non-empty server Url replaces the server URL;
// the first "Product" whose id equals the product id replaces, from its
// "Override", the product id, the server URL and the extra with those of its
// texts that are not empty. An override id that is not a valid product id
// (it would name a folder elsewhere) is refused with a message on standard
// error. A non-empty server PublicKey (the text of a public key file, for a
// test service that signs with its own key) becomes the update key. True
// when the file was read.
bool ReadSettingsOverride(FreshetSettings& settings, const std::string& path = {});

// The server PublicKey of the file at `path` (the default path when empty),
// whatever the product; empty when there is none. The installer program
// reads it from the default file.
std::string ReadOverridePublicKey(const std::string& path = {});

}  // namespace ORV::Freshet
