#!/usr/bin/env python3
"""Generate the Kestrin demo data: a made-up catalog for a computer reseller's shop.

Usage: python3 db/demo/generate_demo.py OUTDIR

Writes three files of INSERT statements, each wrapped in one transaction:
  OUTDIR/demo_kestrin.sql   the shop's main database: category tree (with the shop's own
                            "z" groups), manufacturers, shop products with pictures, option
                            lists, technical data and descriptions, markups, demo customers,
                            filters, content pages, preferences and other small tables;
  OUTDIR/demo_techdata.sql  the Tech Data catalog: the same tree without the "z" groups,
                            manufacturers, products, technical data and descriptions;
  OUTDIR/demo_ingram.sql    the Ingram catalog: distributor part numbers for part of the
                            Tech Data products, keyed by manufacturer part.

All names, part numbers and figures are invented. The output is deterministic: every value
comes from one random.Random with a fixed seed, drawn in a fixed order, so two runs write
byte-identical files.
"""

import os
import random
import re
import sys

SEED = 20261209
CHUNK = 200

# ---------------------------------------------------------------------------------------------
# Category tree. "letter GROUP Name @family" starts a group; indented lines are its categories,
# optionally "@family" (when it differs from the group's) and ": sub; sub; ..." subcategories.

TREE = """
c A1 Notebooks @notebook
  Business Notebooks: 13-14 inch; 15-16 inch; 17 inch
  Consumer Notebooks: Everyday; Premium Ultrathin
  Gaming Notebooks
  Rugged Notebooks
  Notebook Accessories @nbacc: Bags & Cases; Docking Stations; Power Adapters; Batteries
c A2 Desktop PCs @desktop
  Business Desktops: Tower; Small Form Factor; Mini PCs
  Home Desktops: Everyday; Gaming
  All-in-One PCs
c A3 Servers @server
  Rack Servers: 1U; 2U; 4U
  Tower Servers: Entry; Mid-range
  Blade Servers
c A4 Workstations @workstation
  Tower Workstations: Single processor; Dual processor
  Mobile Workstations @notebook
c A5 Thin Clients @thinclient
  Thin Clients: Entry; Performance
  Zero Clients
c A6 Tablets & Handhelds @tablet
  Tablets: 8-10 inch; 11-13 inch
  Rugged Handhelds
  Tablet Accessories @nbacc
d B1 Hard Drives @hdd
  Desktop Hard Drives: 3.5-inch SATA; 2.5-inch SATA
  Enterprise Hard Drives: SAS; SATA
  NAS Hard Drives
  External Hard Drives: Portable; Desktop
d B2 Solid State Drives @ssd
  SATA SSDs: 2.5-inch; M.2
  NVMe SSDs: PCIe 4.0; PCIe 5.0
  Enterprise SSDs
  External SSDs
d B3 Optical Drives @optical
  DVD Writers: Internal; External
  Blu-ray Drives: Internal; External
  Optical Media @media: DVD Media; Blu-ray Media; CD Media
d B4 Tape & Backup @tape
  Tape Drives: LTO-8; LTO-9
  Tape Cartridges
  Autoloaders & Libraries
d B5 NAS & SAN @nas
  Desktop NAS: 2-Bay; 4-Bay; 5-Bay and larger
  Rackmount NAS: 1U; 2U; 3U and larger
  SAN Arrays
d B6 Flash Media @flash
  USB Flash Drives: USB-A; USB-C
  Memory Cards: SD Cards; microSD Cards; CFexpress Cards
  Card Readers
m C1 Memory @memory
  Desktop Memory: DDR4; DDR5
  Notebook Memory: DDR4 SO-DIMM; DDR5 SO-DIMM
  Server Memory: Registered ECC; Unbuffered ECC
m C2 Processors @cpu
  Desktop Processors: Socket PX5; Socket PX6; Socket HV2
  Server Processors: Single socket; Dual socket
  Processor Upgrades
m C3 Motherboards @motherboard
  ATX Motherboards
  Micro-ATX Motherboards
  Mini-ITX Motherboards
  Server Motherboards: Single socket; Dual socket
m C4 Graphics Cards @gpu
  Gaming Graphics Cards: Entry level; Mid range; High end
  Professional Graphics Cards
  Low Profile Cards
m C5 Power Supplies @psu
  ATX Power Supplies: Under 600W; 600-850W; Over 850W
  SFX Power Supplies
  Server Power Supplies
m C6 Cases @case
  Mid Towers: Windowed; Silent
  Full Towers
  Small Form Factor Cases
  Rackmount Chassis: 1U-2U; 3U-4U
m C7 Cooling @cooling
  CPU Coolers: Air Coolers; Liquid Coolers
  Case Fans: 120mm; 140mm
  Thermal Compounds
n D1 Switches @switch
  Unmanaged Switches
  Managed Switches: Smart Managed; Layer 3
  PoE Switches: 8-16 ports; 24-48 ports
  Stackable Switches
n D2 Routers @router
  Small Business Routers
  VPN Routers: Single WAN; Dual WAN
  Broadband Routers
n D3 Wireless @wireless
  Access Points: Indoor; Outdoor; Ceiling Mount
  Mesh Systems
  Wireless Adapters: USB; PCIe
  Range Extenders
n D4 Network Adapters @nic
  Gigabit Adapters
  10GbE Adapters: RJ45; SFP+
  Transceivers
n D5 Cables @cable
  Network Cables: Cat5e; Cat6; Cat6a; Fiber
  Video Cables: HDMI; DisplayPort; DVI
  USB Cables: USB-A; USB-C
  Power Cords
n D6 Firewalls & VPN @firewall
  Firewall Appliances: Desktop; Rackmount
  UTM Appliances
  VPN Concentrators
p F1 Printers @printer
  Laser Printers: Monochrome; Color
  Inkjet Printers
  Multifunction Printers: Small office; Workgroup
  Label Printers
p F2 Monitors @monitor
  LCD Monitors: 21-24 inch; 27 inch; 32 inch and up
  Gaming Monitors: 144Hz; 240Hz and up
  Touch Screen Monitors
p F3 Keyboards & Mice @input
  Keyboards: Wired; Wireless; Mechanical
  Mice & Trackballs: Wired; Wireless
  Keyboard & Mouse Combos
  Presenters
p F4 Scanners @scanner
  Flatbed Scanners
  Document Scanners: Desktop; Workgroup; Production
  Portable Scanners
p F5 Projectors @projector
  Business Projectors: Portable; Installation
  Home Theater Projectors
  Short Throw Projectors
p F6 UPS & Power Protection @ups
  Line-Interactive UPS: Tower; Rackmount
  Online UPS
  Surge Protectors
  UPS Batteries
s G1 Operating Systems @os
  Desktop Operating Systems
  Server Operating Systems: Standard; Datacenter
  Client Access Licenses
s G2 Office Software @office
  Office Suites: Home; Business
  Accounting Software
  Project Management
s G3 Security Software @security
  Antivirus: 1-3 Users; 5-10 Users
  Internet Security
  Endpoint Protection: Small business; Enterprise
  Encryption
s G4 Graphics & Design @design
  Photo Editing
  CAD Software: 2D; 3D
  Desktop Publishing
  Video Editing
s G5 Utilities @utility
  Backup & Recovery: Desktop; Server
  Disk Utilities
  Remote Access
t E1 Training @course
  Certification Courses: Networking; Security; Server Administration; Cloud
  Instructor-Led Classes
  Online Courses: Self-paced; Live virtual
  Exam Vouchers
t E2 Books & Media @book
  Technical Books: Networking; Programming; Certification Guides
  Video Training
c zA House Brand Systems @desktop
  Office Desktops
  Gaming Desktops: Entry; Performance; Extreme
  Workstations @workstation
  Notebooks @notebook
c zB Refurbished Deals @notebook
  Refurbished Notebooks
  Refurbished Desktops @desktop
  Refurbished Monitors @monitor
  Refurbished Printers @printer
c zC Bundles @bundle
  Office Bundles
  Gaming Bundles: Starter; Enthusiast
  Networking Bundles
"""

# ---------------------------------------------------------------------------------------------
# Manufacturers: code | name | where listed (K shop, T Tech Data, KT both) | families made.

MANUFACTURERS = """
CVN|Corvane Systems|KT|notebook desktop workstation tablet
ALD|Aldermoor Computing|KT|notebook desktop thinclient
TRV|Trevallon Servers|KT|server workstation
CDX|Cedarix Systems|KT|server desktop thinclient
ZTV|Zentrova Computing|T|notebook tablet desktop
AXW|Axeworth Systems|KT|server nas
PNK|Pennock Mobile|KT|tablet nbacc
TRN|Tarnwick Technologies|T|notebook nbacc
HGC|Harrowgate Custom|K|desktop workstation notebook bundle
SLF|Secondleaf Refurbished|K|notebook desktop monitor printer
TELM|Tellmark Storage|KT|hdd ssd nas
TKS|Tarkstone Storage|KT|hdd ssd
DTR|Datarune Backup|KT|tape nas hdd
FKM|Fliskmore Flash|KT|flash ssd
OPV|Optivane Optical|KT|optical media
WLB|Willowbank Data|T|hdd tape flash
QRM|Quarrendon Media|KT|media flash optical
KRD|Kordell Memory|KT|memory flash
SGM|Stegmark Memory|KT|memory ssd
PRX|Pellrix Semiconductor|KT|cpu
HLV|Halvard Micro|KT|cpu motherboard
RDC|Redcastle Components|KT|motherboard psu
ESG|Elstow Graphics|KT|gpu
GRV|Gravenholt Graphics|T|gpu motherboard
V3P|Veltrane Power|KT|psu ups
RVM|Ravensmoor Cases|KT|case cooling psu
CHT|Coldharbour Thermal|KT|cooling
STV|Stavenor Electronics|T|psu cooling case
DNM|Dunmere Networks|KT|switch router wireless
FRM|Fernholm Networks|KT|switch firewall nic
NMB|Nimbleford Wireless|KT|wireless router
HRL|Hartlow Routing|T|router firewall
HVN|Havenport Networks|KT|nic switch
CMP|Camperly Cables|KT|cable
BLC|Bellcote Cable|K|cable
SBR|Sabrecourt Security|KT|firewall security
BWE|Brightwell - Europe|KT|monitor projector
OPL|Opaline Displays|KT|monitor
ILM|Ilmwood Monitors|T|monitor
LMN|Lumenfold Projection|KT|projector
ORB|Orbelle Imaging|KT|printer scanner
PLN|Pollenby Print|KT|printer
MRC|Marrick Peripherals|KT|input scanner
KYS|Keystrand Input|KT|input
GLN|Glenharrow Input|K|input nbacc
MDR|Midran Peripherals|T|input cable
SVL|Silverlark Audio|K|input nbacc
ODM|Oldmeadow Power|K|ups
QSH|Quillshaw Software|KT|os utility
ASR|Aspenridge Software|KT|office utility
LDS|Ledgerstone Software|KT|office
CRS|Corrister Security|KT|security
VSP|Vespera Software|T|design office
PXT|Pixelstrand Graphics|K|design
CPS|Copsewood Software|KT|utility security design
NG5|Northgale Learning|KT|course book
BRKFD|Brackenfield Training|KT|course
LRK|Larkhollow Learning|K|course book
TPB|Thistlepage Books|T|book
OA|Oakapple Imaging|KT|scanner printer
"""

# ---------------------------------------------------------------------------------------------
# Product families: "@name | description template | cost range | weight range (lbs) | series",
# then one "Attribute: value; value; ..." line per attribute. The first attribute is listed
# from cheapest to dearest and steers the cost.

FAMILIES = """
@notebook | {brand} {series} {num} {Screen Size} Notebook, {Memory} RAM, {Storage} | 399-2899 | 3-8 | ProBook; AirLite; Voyager; Meridian; Stratus
Processor: Halvard H3 4-core 3.9GHz; Pellrix P5 6-core 4.4GHz; Pellrix P7 8-core 4.8GHz; Halvard H9 12-core 5.1GHz
Memory: 8GB; 16GB; 32GB; 64GB
Storage: 256GB SSD; 512GB SSD; 1TB SSD; 2TB SSD
Screen Size: 13.3-inch; 14-inch; 15.6-inch; 16-inch; 17.3-inch
Display: 1920x1080 IPS; 1920x1200 IPS; 2560x1600 IPS; 2880x1800 OLED
Wireless: Wi-Fi 6, Bluetooth 5.2; Wi-Fi 6E, Bluetooth 5.3; Wi-Fi 7, Bluetooth 5.4
Battery: 3-cell 45Wh; 4-cell 60Wh; 6-cell 86Wh
@nbacc | {brand} {series} {Type} | 9-249 | 0.5-4 | TravelPro; Commuter; DockLine; Essentials
Type: 14-inch Privacy Filter; 14-inch Sleeve; 65W USB-C Charger; 15.6-inch Notebook Backpack; 90W Universal Adapter; 6-cell Replacement Battery; USB-C Docking Station; Dual Display Dock
Compatibility: Universal; 13-14 inch notebooks; 15-16 inch notebooks; USB-C notebooks
Color: Black; Charcoal; Navy; Gray
@desktop | {brand} {series} {num} {Form Factor} PC, {Processor}, {Memory} RAM, {Storage} | 349-1999 | 8-28 | OfficeLine; Vantage; Prism; Summit
Processor: Halvard H3 4-core 3.9GHz; Pellrix P5 6-core 4.4GHz; Pellrix P7 8-core 4.8GHz; Halvard H9 12-core 5.1GHz
Form Factor: Tower; Small Form Factor; Mini; All-in-One 24-inch
Memory: 8GB; 16GB; 32GB; 64GB
Storage: 256GB SSD; 512GB SSD; 1TB SSD; 1TB SSD + 2TB HDD
Graphics: Integrated; Elstow RX 4GB; Elstow RX 8GB
Ports: 4x USB, HDMI; 6x USB, HDMI, DisplayPort; 8x USB, 2x DisplayPort
Operating System: Quillshaw OS 12 Home; Quillshaw OS 12 Pro; No operating system
@workstation | {brand} {series} {num} Workstation, {Processor}, {Memory} RAM, {Graphics} | 1299-7999 | 25-45 | Forge; Apex; Titan
Processor: Pellrix X16 16-core 4.5GHz; Pellrix X24 24-core 4.2GHz; Halvard W32 32-core 3.8GHz
Memory: 32GB ECC; 64GB ECC; 128GB ECC; 256GB ECC
Graphics: Elstow Pro 8GB; Elstow Pro 16GB; Elstow Pro 24GB
Storage: 1TB NVMe SSD; 2TB NVMe SSD; 2x 2TB NVMe SSD RAID 1
Power Supply: 750W; 1000W; 1400W
Operating System: Quillshaw OS 12 Workstation; Linux preinstalled; No operating system
@server | {brand} {series} {num} {Form Factor} Server, {Processor}, {Memory} RAM | 1499-18999 | 30-85 | RackLine; Bastion; Keystone
Processor: 1x Pellrix X16 16-core; 1x Halvard S32 32-core; 2x Pellrix X24 24-core; 2x Halvard S64 64-core
Form Factor: Tower; 1U Rack; 2U Rack; 4U Rack
Memory: 32GB DDR5 ECC; 64GB DDR5 ECC; 128GB DDR5 ECC; 256GB DDR5 ECC
Drive Bays: 4x 3.5-inch hot-swap; 8x 2.5-inch hot-swap; 12x 3.5-inch hot-swap; 24x 2.5-inch hot-swap
RAID Controller: Software RAID 0/1/10; Hardware RAID 0/1/5/6/10, 4GB cache
Network: 2x 1GbE; 4x 1GbE; 2x 10GbE SFP+; 2x 25GbE SFP28
Power Supply: 550W; 800W redundant; 1100W redundant; 1600W redundant
@thinclient | {brand} {series} {num} Thin Client, {Processor}, {Memory} RAM | 199-699 | 2-6 | SlimPoint; Terminal; Edge
Processor: Halvard E2 2-core 2.0GHz; Halvard E4 4-core 2.4GHz; Pellrix L4 4-core 2.8GHz
Memory: 4GB; 8GB; 16GB
Storage: 16GB Flash; 32GB Flash; 64GB Flash
Protocols: RDP, VDI; RDP, VDI, Web; Zero client protocol
Ports: 4x USB, 2x DisplayPort, 1GbE; 6x USB, 2x DisplayPort, 1GbE, Wi-Fi
@tablet | {brand} {series} {Screen Size} Tablet, {Storage}, {Connectivity} | 149-1299 | 1-3 | Slate; TabPro; FieldPad
Storage: 64GB; 128GB; 256GB; 512GB
Screen Size: 8-inch; 10.1-inch; 11-inch; 12.4-inch; 13-inch
Connectivity: Wi-Fi; Wi-Fi + LTE; Wi-Fi + 5G
Memory: 4GB; 6GB; 8GB; 12GB
Battery: 7000mAh; 8500mAh; 10000mAh
Rugged Rating: None; IP65; IP68, MIL-STD-810H
@hdd | {brand} {Capacity} {Speed} {Interface} Hard Drive | 39-599 | 1-3 |
Capacity: 1TB; 2TB; 4TB; 6TB; 8TB; 12TB; 16TB; 20TB
Speed: 5400rpm; 7200rpm; 10000rpm
Interface: SATA; SAS
Form Factor: 3.5-inch; 2.5-inch
Cache: 64MB; 256MB; 512MB
MTBF: 1,000,000 hours; 2,000,000 hours; 2,500,000 hours
@ssd | {brand} {series} {Capacity} {Form Factor} {Interface} SSD | 29-899 | 0.2-1 | Velox; Rapid; DataStream
Capacity: 250GB; 500GB; 1TB; 2TB; 4TB; 8TB
Form Factor: 2.5-inch; M.2 2280
Interface: SATA; NVMe PCIe 4.0; NVMe PCIe 5.0
Read Speed: 550 MB/s; 3500 MB/s; 7000 MB/s; 12000 MB/s
Write Speed: 520 MB/s; 3000 MB/s; 6500 MB/s; 11000 MB/s
Endurance: 300 TBW; 600 TBW; 1200 TBW; 2400 TBW
@optical | {brand} {Type} {Mounting} Drive, {Interface} | 15-189 | 0.5-3 |
Type: 8x DVD-ROM; 24x DVD Writer; 16x Blu-ray Writer; 6x Ultra HD Blu-ray Writer
Mounting: Internal; External Slim; External Desktop
Interface: SATA; USB 3.0; USB-C
Buffer: 1MB; 2MB; 4MB
Supported Media: DVD+/-R, DVD+/-RW, CD-R/RW; BD-R, BD-RE, DVD+/-R, CD-R
@media | {brand} {Type} {Pack} | 4-79 | 0.5-5 |
Type: 700MB 52x CD-R; 4.7GB 16x DVD-R; 4.7GB 16x DVD+R; 25GB 6x Blu-ray BD-R; 50GB 6x Blu-ray BD-R DL
Pack: 5-Pack Jewel Case; 10-Pack Spindle; 25-Pack Spindle; 50-Pack Spindle
Printable: Yes; No
@tape | {brand} {Format} {Type} | 29-5999 | 0.3-30 |
Type: Cleaning Cartridge; Data Cartridge; External Tape Drive; Internal Tape Drive; 8-Slot Autoloader
Format: LTO-7; LTO-8; LTO-9
Native Capacity: 6TB; 12TB; 18TB
Compressed Capacity: 15TB; 30TB; 45TB
Interface: SAS 6Gb/s; SAS 12Gb/s; Fibre Channel 8Gb/s
Data Rate: 300 MB/s; 360 MB/s; 400 MB/s
@nas | {brand} {series} {Bays} NAS, {Processor}, {Memory} RAM | 179-4999 | 4-40 | DataVault; CloudKeep; StorEdge
Bays: 2-Bay Desktop; 4-Bay Desktop; 5-Bay Desktop; 8-Bay Desktop; 12-Bay Rackmount; 16-Bay Rackmount
Processor: Halvard E4 4-core 2.0GHz; Pellrix L4 4-core 2.8GHz; Pellrix X8 8-core 3.2GHz
Memory: 2GB; 4GB; 8GB; 16GB; 32GB ECC
Network: 2x 1GbE; 2x 2.5GbE; 4x 1GbE, 2x 10GbE
RAID Levels: 0, 1, JBOD; 0, 1, 5, 6, 10; 0, 1, 5, 6, 10, 50, 60
Drives Included: Diskless; 4x 4TB; 8x 8TB
@flash | {brand} {Capacity} {Type}, {Speed} | 4-249 | 0.1-0.5 |
Capacity: 16GB; 32GB; 64GB; 128GB; 256GB; 512GB; 1TB
Type: USB 3.2 Flash Drive; USB-C Flash Drive; microSDXC Card; SDXC UHS-II Card; CFexpress Type B Card
Speed: up to 100 MB/s read; up to 170 MB/s read; up to 300 MB/s read; up to 1700 MB/s read
Class: U1, V10; U3, V30; U3, V90
Adapter Included: Yes; No
@memory | {brand} {Capacity} {Type} {Speed} {Module} | 19-899 | 0.1-0.5 |
Capacity: 8GB; 16GB; 32GB (2x16GB); 64GB (2x32GB); 128GB (4x32GB)
Type: DDR4; DDR5
Speed: 3200MHz; 4800MHz; 5600MHz; 6000MHz
Module: DIMM; SO-DIMM; ECC RDIMM; ECC UDIMM
CAS Latency: CL16; CL22; CL36; CL40
Voltage: 1.1V; 1.2V; 1.35V
Heat Spreader: None; Aluminum; Aluminum with RGB
@cpu | {brand} {series}-{num} {Cores} Processor, {Clock}, {Socket} | 79-6999 | 0.2-1 | P5; P7; P9; H3; H7; X16
Cores: 4-Core; 6-Core; 8-Core; 12-Core; 16-Core; 24-Core; 32-Core; 64-Core
Clock: 3.6GHz base; 4.0GHz base; 4.4GHz boost; 5.0GHz boost; 5.6GHz boost
Socket: Socket PX5; Socket PX6; Socket HV2; Socket SV4
Cache: 12MB; 24MB; 36MB; 64MB; 128MB
TDP: 65W; 105W; 125W; 170W; 280W
Integrated Graphics: Yes; No
Cooler Included: Yes; No
@motherboard | {brand} {series}-{num} {Form Factor} Motherboard, {Socket}, {Memory Support} | 79-899 | 2-6 | ProForge; Titan; Strata
Form Factor: Micro-ATX; Mini-ITX; ATX; E-ATX
Socket: Socket PX5; Socket PX6; Socket HV2; Socket SV4
Memory Support: 2x DDR5 up to 96GB; 4x DDR5 up to 192GB; 8x DDR5 ECC up to 1TB; 4x DDR4 up to 128GB
Expansion Slots: 1x PCIe 5.0 x16; 2x PCIe 5.0 x16, 1x PCIe 4.0 x4; 4x PCIe 4.0 x16
Storage: 2x M.2, 4x SATA; 4x M.2, 6x SATA; 2x M.2, 8x SATA, 2x SlimSAS
LAN: 1GbE; 2.5GbE; 2.5GbE + Wi-Fi 6E; Dual 10GbE
@gpu | {brand} {series} {num} Graphics Card, {Memory}, {Outputs} | 99-2499 | 1-5 | RX; Pro; Vortex; Nova
Memory: 4GB GDDR6; 8GB GDDR6; 12GB GDDR6X; 16GB GDDR6X; 24GB GDDR7
Outputs: HDMI, 3x DisplayPort; 2x HDMI, 2x DisplayPort; 4x Mini DisplayPort; DVI, HDMI, DisplayPort
Interface: PCIe 4.0 x16; PCIe 5.0 x16; PCIe 4.0 x8
Power Connector: None; 1x 8-pin; 2x 8-pin; 1x 16-pin
Cooling: Single fan; Dual fan; Triple fan; Blower
Length: 170mm; 240mm; 305mm; 336mm
@psu | {brand} {series} {Wattage} {Efficiency} Power Supply | 39-499 | 3-8 | CoreVolt; SteadyFlow; Titan
Wattage: 450W; 550W; 650W; 750W; 850W; 1000W; 1300W
Efficiency: 80 PLUS Bronze; 80 PLUS Gold; 80 PLUS Platinum; 80 PLUS Titanium
Modular: Non-modular; Semi-modular; Fully modular
Form Factor: ATX; SFX; 1U redundant
Fan: 120mm; 135mm; 140mm fluid dynamic bearing
Protections: OVP, UVP, OCP, SCP; OVP, UVP, OCP, OPP, SCP, OTP
@case | {brand} {series} {Form Factor} Case, {Color} | 39-399 | 8-30 | Monolith; AirFlow; Cube
Form Factor: Mini-ITX Cube; Micro-ATX Mini Tower; ATX Mid Tower; E-ATX Full Tower; 2U Rackmount; 4U Rackmount
Color: Black; White; Gunmetal
Side Panel: Steel; Tempered glass; Mesh
Drive Bays: 2x 3.5-inch, 2x 2.5-inch; 4x 3.5-inch, 4x 2.5-inch; 8x 3.5-inch hot-swap
Fans Included: 1x 120mm; 2x 140mm; 3x 120mm ARGB
Front Ports: 2x USB 3.0, audio; 2x USB 3.0, 1x USB-C, audio
@cooling | {brand} {series} {Type} | 5-249 | 0.2-4 | Frost; Glacier; Zephyr
Type: 4g Thermal Compound; 120mm Case Fan; 140mm Case Fan; Tower CPU Air Cooler; Dual Tower CPU Air Cooler; 240mm Liquid CPU Cooler; 360mm Liquid CPU Cooler
Noise Level: 18 dBA; 24 dBA; 29 dBA; 33 dBA
Fan Speed: 500-1500 rpm; 600-2000 rpm; 800-2500 rpm
Socket Support: Socket PX5, PX6, HV2; Socket PX5, PX6; All current desktop sockets
Lighting: None; ARGB; White LED
@switch | {brand} {series} {Ports} {Type} Switch | 19-8999 | 1-25 | NetCore; Spine; OfficeLink
Ports: 5-Port; 8-Port; 16-Port; 24-Port; 48-Port
Type: Gigabit Unmanaged; Gigabit Smart Managed; Gigabit PoE+ Managed; Multi-Gigabit Managed; 10GbE Layer 3 Managed
Uplinks: None; 2x SFP; 4x SFP+; 4x SFP28
PoE Budget: None; 65W; 190W; 370W; 740W
Switching Capacity: 10 Gbps; 56 Gbps; 176 Gbps; 480 Gbps
Mounting: Desktop; Desktop or wall; 19-inch rack
@router | {brand} {series} {num} {Type} Router, {WAN} | 49-2499 | 1-8 | EdgeWay; Gateway; Conduit
Type: Broadband; Dual-WAN; Small Business VPN; Branch Office; Edge
WAN: 1x Gigabit WAN; 2x Gigabit WAN; 2.5GbE WAN + SFP; 2x 10GbE SFP+ WAN
VPN Tunnels: 5; 25; 100; 500
LAN Ports: 4x Gigabit; 8x Gigabit; 8x Gigabit, 2x SFP+
Throughput: 900 Mbps; 1.8 Gbps; 4 Gbps; 10 Gbps
@wireless | {brand} {series} {Standard} {Type} | 19-1199 | 0.3-4 | AirSpan; SkyReach; MeshOne
Type: USB Adapter; Range Extender; Indoor Access Point; Ceiling Access Point; Mesh System (3-pack); Outdoor Access Point
Standard: Wi-Fi 6 AX1800; Wi-Fi 6 AX3000; Wi-Fi 6E AXE5400; Wi-Fi 7 BE9300
Bands: Dual-band 2.4/5 GHz; Tri-band 2.4/5/6 GHz
Antennas: Internal; 4x external; 4x4 MU-MIMO internal
Power: PoE 802.3af; PoE+ 802.3at; AC adapter; USB bus powered
Max Clients: 64; 128; 256; 512
@nic | {brand} {Speed} {Ports} Network Adapter, {Interface} | 15-899 | 0.2-1 |
Speed: Gigabit; 2.5GbE; 10GbE RJ45; 10GbE SFP+; 25GbE SFP28; 100GbE QSFP28
Ports: Single-Port; Dual-Port; Quad-Port
Interface: USB 3.0; USB-C; PCIe 2.0 x1; PCIe 3.0 x4; PCIe 4.0 x8
Bracket: Full height and low profile; Full height; Low profile
Features: Wake-on-LAN, VLAN; SR-IOV, VLAN, jumbo frames; RDMA, SR-IOV, VXLAN offload
@cable | {brand} {Length} {Type} Cable | 0.45-59 | 0.1-2 |
Type: USB-A to Micro-B; USB-C to USB-C; Cat5e Patch; Cat6 Snagless Patch; Cat6a Shielded Patch; HDMI 2.1; DisplayPort 1.4; DVI-D Dual Link; C13 to C14 Power; LC-LC OM3 Fiber
Length: 1 ft; 3 ft; 6 ft; 10 ft; 15 ft; 25 ft; 50 ft
Jacket: PVC; LSZH; Plenum CMP; Braided nylon
Color: Black; Blue; Gray; White; Yellow
Shielding: Unshielded; Foil shielded; Braided shield
@firewall | {brand} {series} {num} Firewall Appliance, {Throughput} | 299-14999 | 2-25 | Rampart; Sentinel; Shield
Throughput: 1 Gbps; 3 Gbps; 8 Gbps; 20 Gbps; 40 Gbps
Form Factor: Desktop; 1U Rackmount; 2U Rackmount
Interfaces: 5x Gigabit; 8x Gigabit, 2x SFP; 16x Gigabit, 4x SFP+; 8x 10GbE SFP+
VPN Throughput: 500 Mbps; 1.5 Gbps; 6 Gbps; 15 Gbps
Concurrent Sessions: 500,000; 2,000,000; 8,000,000
Subscription: Hardware only; 1-year security bundle; 3-year security bundle
@printer | {brand} {series} {num} {Type} Printer, {Speed} | 89-3999 | 8-90 | Inkline; Officio; Proxa
Type: Thermal Label; Inkjet; Monochrome Laser; Inkjet All-in-One; Color Laser; Color Laser Multifunction; Wide-Format Inkjet
Speed: 20 ppm; 30 ppm; 40 ppm; 55 ppm
Resolution: 600x600 dpi; 1200x1200 dpi; 4800x1200 dpi
Connectivity: USB; USB, Ethernet; USB, Ethernet, Wi-Fi
Duplex: Manual; Automatic
Paper Capacity: 150 sheets; 250 sheets; 550 sheets; 1,100 sheets
Monthly Duty Cycle: 10,000 pages; 50,000 pages; 150,000 pages
@monitor | {brand} {series} {Size} {Panel} Monitor, {Resolution} | 99-1999 | 8-25 | ViewLine; ClearSight; Horizon
Size: 21.5-inch; 23.8-inch; 27-inch; 31.5-inch; 34-inch Curved; 49-inch Curved
Panel: IPS; VA; TN; OLED
Resolution: 1920x1080; 2560x1440; 3840x2160; 3440x1440; 5120x1440
Refresh Rate: 60Hz; 75Hz; 144Hz; 165Hz; 240Hz
Response Time: 1ms; 4ms; 5ms
Inputs: HDMI, DisplayPort; 2x HDMI, DisplayPort, USB-C; HDMI, DisplayPort, USB-C 90W
Stand: Tilt; Tilt, height, swivel, pivot; VESA 100 only
@input | {brand} {series} {Type} | 9-199 | 0.3-4 | TypeRight; Glide; ErgoFlow; Keymaster
Type: USB Optical Mouse; USB Keyboard; Wireless Mouse; Wireless Keyboard; Keyboard and Mouse Combo; Ergonomic Mouse; Wireless Presenter; Trackball; Mechanical Keyboard
Connection: USB cable; 2.4GHz USB receiver; Bluetooth; Bluetooth and 2.4GHz
Layout: US English; US International; Not applicable
Battery Life: Not applicable; 12 months; 24 months; 70 hours rechargeable
Color: Black; White; Graphite; Silver
@scanner | {brand} {series} {num} {Type} Scanner, {Resolution} | 89-4999 | 2-40 | ScanPro; DocuFlow; ImageLine
Type: Portable; Flatbed; Photo; Sheet-fed Document; Workgroup Document; Production Document
Resolution: 600 dpi; 1200 dpi; 2400 dpi; 4800 dpi
Speed: 15 ppm; 35 ppm; 60 ppm; 120 ppm
ADF Capacity: None; 20 sheets; 50 sheets; 100 sheets; 500 sheets
Connectivity: USB; USB, Ethernet; USB, Wi-Fi, Ethernet
Daily Duty Cycle: 1,000 pages; 4,000 pages; 9,000 pages; 40,000 pages
@projector | {brand} {series} {num} {Technology} Projector, {Brightness}, {Resolution} | 299-4999 | 5-20 | BeamPro; Cinema; Lumen
Brightness: 3000 lumens; 3600 lumens; 4200 lumens; 5000 lumens; 6000 lumens
Technology: DLP; 3LCD; Laser DLP; Laser 3LCD
Resolution: SVGA 800x600; XGA 1024x768; WXGA 1280x800; 1080p 1920x1080; 4K UHD
Throw Ratio: 1.5-1.65:1; 1.2-1.5:1; 0.5:1 short throw
Lamp Life: 6,000 hours; 10,000 hours; 20,000 hours laser
Inputs: 2x HDMI, VGA; HDMI, VGA, USB; 2x HDMI, HDBaseT, LAN
@ups | {brand} {series} {Product Type} | 19-3999 | 3-120 | PowerGuard; SafeLine; Bastion
Product Type: 8-Outlet Surge Protector; 12-Outlet Surge Protector; Replacement Battery Cartridge; 600VA Standby UPS; 1000VA Line-Interactive UPS; 1500VA Line-Interactive UPS; 2200VA Online UPS; 3000VA Online UPS
Outlets: 6; 8; 10; 12
Runtime at Half Load: Not applicable; 7 minutes; 12 minutes; 25 minutes
Form Factor: Tower; Rack/Tower 2U; Power strip
Input: 120V NEMA 5-15P; 120V NEMA 5-20P; 208V NEMA L6-30P
Management: None; USB; USB, network card slot
@os | {brand} {series} {Edition}, {License} | 29-6199 | 0.1-1 | OS 12; OS 11
Edition: Home; Pro; Workstation; Server Essentials; Server Standard; Server Datacenter
License: OEM 1 PC; Retail 1 PC; Volume 5 PCs; 16-core license; Client Access License 5 users
Media: Download; USB; DVD
Language: English; English, Spanish, French; Multilingual
Support: Not included; 90 days; 1 year
@office | {brand} {series} {Edition}, {License} | 29-899 | 0.1-1 | Office Suite 2026; Books Accounting; PlanIt Project
Edition: Home and Student; Standard; Business; Professional; Enterprise
License: 1 user; 5 users; 10 users; site license
Term: Perpetual; 1-year subscription; 3-year subscription
Media: Download; DVD
Platform: Linux; Quillshaw OS; Cross-platform
@security | {brand} {series} {Edition}, {License}, {Term} | 19-2999 | 0.1-1 | Guardian; SafeHarbor; Bulwark
Edition: Antivirus; Internet Security; Total Protection; Endpoint Protection; Endpoint Detection and Response
License: 1 device; 3 devices; 5 devices; 10 devices; 25 seats; 100 seats
Term: 1 year; 2 years; 3 years
Delivery: Download; Activation card
Support: Email; 24/7 phone and email
@design | {brand} {series} {Edition}, {License} | 49-4999 | 0.1-1 | PixelWorks Photo; DraftLine CAD; PageCraft Publishing; CutRoom Video
Edition: Elements; Standard; Professional; Studio; Enterprise
License: 1 user perpetual; 1 user annual; 5 users annual; network floating
Platform: Linux; Quillshaw OS; Cross-platform
Media: Download; USB
System Requirements: 8GB RAM, 4GB disk; 16GB RAM, 10GB disk; 32GB RAM, dedicated GPU
@utility | {brand} {series} {Edition}, {License} | 19-1499 | 0.1-1 | Keepsafe Backup; Disk Toolkit; Remote Reach
Edition: Home; Pro; Workstation; Server; Enterprise
License: 1 PC; 3 PCs; 1 server; 5 servers
Term: Perpetual; 1-year subscription
Media: Download; USB
Platform: Linux; Quillshaw OS; Cross-platform
@course | {brand} {Course}, {Format} | 99-3999 | 0.1-0.5 |
Course: Exam Voucher; IT Fundamentals Course; Network Fundamentals Certification Course; Security Essentials Certification Course; Server Administration Bootcamp; Cloud Architecture Certification Course; Advanced Routing and Switching Course
Format: Online self-paced; Virtual instructor-led; 3-day classroom; 5-day classroom
Duration: 12 hours; 3 days; 5 days; 40 hours
Level: Beginner; Intermediate; Advanced
Exam Voucher: Included; Not included
Materials: Digital courseware; Printed courseware and labs; Lab access 90 days
@book | {brand} {Title}, {Format} | 19-249 | 0.1-3 |
Title: Pocket Guide to Subnetting; Practical Network Troubleshooting; Server Hardware Field Guide; Securing Small Business Networks; Storage Systems Explained; Scripting for Administrators; Complete Cloud Certification Study Guide
Format: eBook; Paperback; Hardcover; Video course
Length: 240 pages; 480 pages; 760 pages; 12 hours video
Edition: 1st edition; 2nd edition; 3rd edition
Language: English; English and Spanish
@bundle | {brand} {Bundle} Bundle: {Items} | 499-4999 | 15-60 |
Bundle: Student; Home Office; Small Office; Network Starter; Gaming Starter; Branch Office Network; Gaming Enthusiast
Items: Desktop PC + 24-inch Monitor + Keyboard and Mouse; Notebook + Docking Station + 27-inch Monitor; Gaming PC + 27-inch 165Hz Monitor + Mechanical Keyboard; Router + 16-Port Switch + 2 Access Points; Firewall + 24-Port PoE Switch + UPS
Setup Service: Not included; Basic setup included; On-site setup included
Software: None; Quillshaw OS 12 Pro; Office Suite 2026 Business
"""

# Attributes any product may add to its technical data after its family's own.
EXTRA_ATTRS = [
    ("Warranty", ["90 days", "1 year", "2 years", "3 years", "5 years", "Limited lifetime"]),
    ("Certifications", ["CE, FCC", "RoHS, WEEE", "CE, FCC, RoHS", "Energy Star, RoHS"]),
    ("Country of Origin", ["Taiwan", "Malaysia", "Mexico", "USA", "Vietnam", "Czech Republic"]),
    ("Package Contents", ["Product, quick start guide", "Product, cables, manual",
                          "Product, mounting kit, warranty card"]),
]

# Option lists for the product page's order form.
OPTION_VALUES = {
    "Sizes": ["Small", "Medium", "Large", "13-inch", "15.6-inch", "17-inch"],
    "Colors": ["Black", "White", "Silver", "Space Gray", "Blue", "Red", "Graphite"],
    "Styles": ["Tower", "Desktop", "Mini Tower", "Rackmount", "Low Profile"],
    "Textures": ["Matte", "Glossy", "Brushed Aluminum", "Soft-Touch", "Carbon Fiber"],
    "Flavors": ["Standard Edition", "Professional Edition", "Enterprise Edition", "1 User",
                "5 Users"],
    "Packaging": ["Retail Box", "Bulk", "OEM", "Tray", "Eco Pack"],
    "Single": ["Single", "2-Pack", "5-Pack", "10-Pack", "25-Pack"],
    "Gender": ["Male to Male", "Male to Female", "Female to Female"],
}
CABLE_LENGTHS = ["1 ft", "3 ft", "6 ft", "10 ft", "15 ft", "25 ft"]
FAMILY_OPTIONS = {
    "cable": ["Sizes", "Colors", "Gender", "Packaging", "Single"],
    "input": ["Colors", "Textures", "Packaging"],
    "case": ["Colors", "Styles", "Textures"],
    "nbacc": ["Sizes", "Colors", "Textures"],
    "notebook": ["Colors", "Textures"],
    "desktop": ["Styles", "Colors"],
    "memory": ["Packaging", "Single"],
    "cpu": ["Packaging"],
    "flash": ["Colors", "Single", "Packaging"],
    "os": ["Flavors", "Packaging"],
    "office": ["Flavors", "Packaging"],
    "security": ["Flavors", "Packaging"],
    "utility": ["Flavors"],
}

# Sentences for the rich descriptions, by main category.
PITCH = {
    "c": ["It is configured for dependable everyday business use and easy fleet management.",
          "Tool-less service access and standard parts keep maintenance simple."],
    "d": ["Data integrity features and a proven controller protect your files around the clock.",
          "It is validated for continuous operation in desktop, NAS and server systems."],
    "m": ["Every unit is tested before it leaves the factory for stable operation under load.",
          "It is a straightforward upgrade that extends the useful life of existing systems."],
    "n": ["Setup takes minutes with the web interface, and firmware updates are free.",
          "It is built for always-on operation in offices, classrooms and branch sites."],
    "p": ["Its compact design fits neatly on crowded desks and in shared work areas.",
          "Energy-saving modes cut running costs without slowing down your work."],
    "s": ["Licensing is simple, activation is quick and updates are included for the term.",
          "It runs on current systems and is supported by the publisher's help desk."],
    "t": ["Courses are led by certified instructors with years of field experience.",
          "Hands-on labs let students practise every topic before the exam."],
    "z": ["Assembled, tested and supported by our own technicians.",
          "Every system is burned in for 24 hours before it ships."],
}
AUDIENCE = {
    "c": "home offices and growing businesses",
    "s": "businesses that want dependable, well supported software",
    "t": "IT professionals working toward their next certification",
    "z": "customers who want a system built and backed by their local supplier",
}
CLOSING = [
    "Order today and our sales team will confirm availability within one business day.",
    "Volume pricing is available for schools, government and reseller accounts.",
    "Questions about compatibility? Our support staff will be glad to help you choose.",
]

OWN_BRANDS = ("HGC", "SLF")  # the shop's house brand and its refurbishing partner
TRIVIAL = ("Yes", "No", "None", "Not applicable", "Not included", "English")


def singular(word):
    if word == "Mice":
        return "Mouse"
    if word.endswith("ies"):
        return word[:-3] + "y"
    return word[:-1] if word.endswith("s") and not word.endswith("ss") else word


def place_terms(names):
    """Words and phrases of a subcategory and category name, most specific first."""
    names = [n.replace(" inch", "-inch") for n in names if n]
    words = [w for n in names for w in n.split() if len(w) > 2 and w != "and"]
    terms = []
    for t in names + words:
        for form in (t, singular(t)):
            if form not in terms:
                terms.append(form)
    return terms


def narrow(values, terms):
    """The values that mention the terms, applied one after another while any match."""
    for term in terms:
        pattern = re.compile(r"(?<!\w)%s(?!\w)" % re.escape(term), re.IGNORECASE)
        matching = [v for v in values if pattern.search(v)]
        if matching:
            values = matching
    return values


def clip(text, width):
    """text cut at a word boundary to at most width characters."""
    if len(text) <= width:
        return text
    cut = text[:width + 1]
    return cut[:-1] if cut[-1] in " ," else cut.rsplit(" ", 1)[0].rstrip(",")


def parse_tree():
    """Return the groups in order: dicts with maincat, grp, descr and cats."""
    groups = []
    for line in TREE.strip("\n").split("\n"):
        if not line.startswith(" "):
            letter, code, rest = line.split(" ", 2)
            name, fam = rest.split(" @")
            groups.append({"maincat": letter, "grp": code, "descr": name, "fam": fam,
                           "cats": []})
            continue
        head, _, subs = line.strip().partition(":")
        name, _, fam = head.partition(" @")
        grp = groups[-1]
        cat = "%03d" % (10 * (len(grp["cats"]) + 1))
        sublist = [("%02d" % (i + 1), s.strip()) for i, s in enumerate(subs.split(";"))
                   if s.strip()]
        grp["cats"].append({"cat": cat, "descr": name.strip(), "fam": fam or grp["fam"],
                            "subs": sublist})
    return groups


def parse_manufacturers():
    result = []
    for line in MANUFACTURERS.strip().split("\n"):
        code, name, where, fams = line.split("|")
        result.append({"code": code, "name": name, "where": where, "fams": fams.split()})
    return result


def parse_families():
    families = {}
    fam = None
    for line in FAMILIES.strip().split("\n"):
        if line.startswith("@"):
            name, tmpl, cost, wt, series = [p.strip() for p in line[1:].split("|")]
            fam = {"name": name, "tmpl": tmpl, "attrs": [],
                   "cost": tuple(float(x) for x in cost.split("-")),
                   "wt": tuple(float(x) for x in wt.split("-")),
                   "series": [s.strip() for s in series.split(";") if s.strip()]}
            families[name] = fam
        else:
            attr, values = line.split(":", 1)
            fam["attrs"].append((attr, [v.strip() for v in values.split(";")]))
    return families


class Generator:
    def __init__(self):
        self.rng = random.Random(SEED)
        self.groups = parse_tree()
        self.manufs = parse_manufacturers()
        self.families = parse_families()
        self.manu_parts = set()
        self.descrs = set()
        self.vend_by_code = {m["code"]: m for m in self.manufs}

    # -- shared helpers ------------------------------------------------------------------------

    def leaves(self, with_z):
        """(group, category, sub code, family, terms) for every place a product can sit."""
        out = []
        for g in self.groups:
            if g["grp"].startswith("z") and not with_z:
                continue
            for c in g["cats"]:
                for sub, name in (c["subs"] or [("", "")]):
                    out.append((g, c, sub, c["fam"], place_terms([name, c["descr"]])))
        return out

    def vendors_for(self, fam, db, own_brands=False):
        """Makers of a family listed in a database; the shop's own brands only on request."""
        return [m for m in self.manufs if db in m["where"] and fam in m["fams"]
                and (m["code"] in OWN_BRANDS) == own_brands]

    def new_manu_part(self, code):
        rng = self.rng
        while True:
            part = "%s-%d%s" % (code[:2], rng.randint(1000, 9999),
                                rng.choice(["", "", "", "X", "B", "-NA", "R2", "LF"]))
            if part not in self.manu_parts:
                self.manu_parts.add(part)
                return part

    def make_item(self, fam_name, vendor, terms=()):
        """Manufacturer part, description and attribute list of one invented item; terms
        (from its category) narrow the attribute values to those that fit the place."""
        rng = self.rng
        fam = self.families[fam_name]
        attrs = [(name, rng.choice(narrow(values, terms))) for name, values in fam["attrs"]]
        fields = dict(attrs)
        fields["brand"] = vendor["name"].split()[0]
        fields["series"] = rng.choice(narrow(fam["series"], terms)) if fam["series"] else ""
        fields["num"] = str(rng.randint(1, 9) * 100 + rng.choice([0, 10, 20, 40, 50, 60, 80]))
        descr = " ".join(fam["tmpl"].format_map(fields).split())
        # Tell look-alike items apart by one or two details the template leaves out.
        extra = [v + " " + a if v.isdigit() else v
                 for a, v in attrs[1:] if v not in descr and v not in TRIVIAL]
        while descr in self.descrs and extra:
            descr += ", " + extra.pop(0)
        self.descrs.add(descr)
        first_values = fam["attrs"][0][1]
        level = first_values.index(attrs[0][1]) / max(1, len(first_values) - 1)
        lo, hi = fam["cost"]
        cost = lo * (hi / lo) ** (0.7 * level + 0.3 * rng.random())
        wlo, whi = fam["wt"]
        weight = wlo + (whi - wlo) * (0.6 * level + 0.4 * rng.random())
        return {"manu_part": self.new_manu_part(vendor["code"]), "descr": descr,
                "vend_code": vendor["code"], "attrs": attrs, "cost": round(cost, 2),
                "weight": weight}

    def make_product(self, part_num, leaf, item, cost_null=0.02):
        rng = self.rng
        g, c, sub, fam, _ = leaf
        soft = g["maincat"] in "st"
        status = rng.choices(["", "1", "u", "p", "o", "r", "l", "v", "4", "5", "9"],
                             [44, 34, 3, 3, 3, 3, 2, 2, 2, 2, 2])[0]
        p = {"part_num": part_num, "manu_part": item["manu_part"], "descr": item["descr"],
             "grp": g["grp"], "cat": c["cat"], "sub": sub, "vend_code": item["vend_code"],
             "qty": 0 if rng.random() < 0.15 else rng.randint(1, 250),
             "cost": None if rng.random() < cost_null else item["cost"],
             "status": status,
             "picture": part_num + ".jpg" if rng.random() < 0.4 else None,
             "priceOptions": None,
             "shipwgth": "%.1f lbs" % item["weight"],
             "noStock": "1" if rng.random() < 0.05 else "0",
             "noshipping": "1" if rng.random() < {"t": 0.5, "s": 0.05}.get(g["maincat"], 0.0)
             else "0",
             "inventory": "1" if rng.random() < 0.6 else "0",
             "notax": "1" if soft and rng.random() < 0.3 else "0",
             "showPicture": 0, "fam": fam, "maincat": g["maincat"], "attrs": item["attrs"]}
        for opt in OPTION_VALUES:
            p["show" + opt] = 0
        return p

    def mark_editions(self, products, count):
        """Academic (AE) and not-for-resale (NFR) editions among the software products."""
        soft = [p for p in products if p["maincat"] == "s"
                and not any(w in ("AE", "NFR") for w in p["descr"].split())]
        forms = ["AE %s", "NFR %s", "%s AE", "%s NFR"]
        for i, p in enumerate(self.rng.sample(soft, count)):
            p["descr"] = forms[i % len(forms)] % p["descr"]

    def techspec_rows(self, p):
        rng = self.rng
        attrs = list(p["attrs"])
        for name, values in EXTRA_ATTRS:
            attrs.append((name, rng.choice(values)))
        attrs.append(("Shipping Weight", p["shipwgth"]))
        attrs.append(("Manufacturer Part", p["manu_part"]))
        n = min(len(attrs), rng.randint(5, 12))
        return [(p["part_num"], i + 1, a, v) for i, (a, v) in enumerate(attrs[:n])]

    def techdescr(self, p):
        rng = self.rng
        vendor = self.vend_by_code[p["vend_code"]]["name"]
        key = "z" if p["grp"].startswith("z") else p["maincat"]
        para1 = "The %s from %s is a smart choice for %s. %s" % (
            p["descr"], vendor, AUDIENCE.get(key, AUDIENCE["c"]), " ".join(PITCH[key]))
        feats = ["- %s: %s" % a for a in p["attrs"][:rng.randint(3, 5)]]
        para3 = rng.choice(CLOSING)
        if rng.random() < 0.5:
            return "\r\n\r\n".join([para1, "Key features:\r\n" + "\r\n".join(feats), para3])
        return "**".join([para1, "Key features:"] + feats + [para3])

    # -- the catalogs --------------------------------------------------------------------------

    def spread(self, leaves, total):
        weights = [self.rng.uniform(0.5, 1.5) for _ in leaves]
        scale = total / sum(weights)
        return [max(3, round(w * scale)) for w in weights]

    def techdata_products(self):
        rng = self.rng
        leaves = self.leaves(with_z=False)
        products, number = [], 5000000
        for leaf, count in zip(leaves, self.spread(leaves, 5000)):
            vendors = self.vendors_for(leaf[3], "T")
            for _ in range(count):
                number += rng.randint(1, 9)
                item = self.make_item(leaf[3], rng.choice(vendors), leaf[4])
                p = self.make_product("TD-%07d" % number, leaf, item, cost_null=0.01)
                r = rng.random()
                p["priceOptions"] = (None if r < 0.95 else "" if r < 0.985
                                     else "1" if r < 0.995 else "call")
                products.append(p)
        self.mark_editions(products, 8)
        return products

    def shop_products(self, td_products):
        rng = self.rng
        by_leaf = {}
        for p in td_products:
            by_leaf.setdefault((p["grp"], p["cat"], p["sub"]), []).append(p)
        leaves = self.leaves(with_z=True)
        products, number = [], 100000
        for leaf, count in zip(leaves, self.spread(leaves, 2000)):
            g, c, sub, fam, terms = leaf
            vendors = self.vendors_for(fam, "K")
            house = g["grp"] in ("zA", "zC")
            pool = [t for t in by_leaf.get((g["grp"], c["cat"], sub), [])
                    if "K" in self.vend_by_code[t["vend_code"]]["where"]]
            for _ in range(count):
                number += rng.randint(1, 5)
                if pool and rng.random() < 0.25:
                    # The shop also lists some of the distributor's items under its own number.
                    t = pool.pop(rng.randrange(len(pool)))
                    item = {k: t[k] for k in ("manu_part", "descr", "vend_code", "attrs")}
                    item["cost"] = round(t["cost"] * 1.04, 2) if t["cost"] else 19.99
                    item["weight"] = float(t["shipwgth"].split()[0])
                elif house:
                    item = self.make_item(fam, self.vend_by_code["HGC"], terms)
                elif g["grp"] == "zB":
                    vendor = self.vend_by_code["SLF"] if rng.random() < 0.5 else rng.choice(vendors)
                    item = self.make_item(fam, vendor, terms)
                    item["descr"] = "Refurbished " + item["descr"]
                    item["cost"] = round(item["cost"] * 0.7, 2)
                else:
                    item = self.make_item(fam, rng.choice(vendors), terms)
                products.append(self.make_product("KS-%06d" % number, leaf, item))
        self.mark_editions(products, 8)
        self.shop_price_options(products)
        return products

    def shop_price_options(self, products):
        rng = self.rng
        picks = rng.sample(range(len(products)), 420)
        values = ["call"] * 20 + ["CALL"] * 20 + ["d"] * 20 + ["n"] * 20 + ["1"] * 90
        hosts = ["www.example.com", "shop.example.net", "www.example.org"]
        values += ["http://%s/product/%d" % (hosts[i % 3], 100 + 37 * i) for i in range(12)]
        values += [""] * (len(picks) - len(values))
        for i, v in zip(picks, values):
            products[i]["priceOptions"] = v

    def shop_options(self, products):
        """Order-form options for a few products; returns rows per option table."""
        rng = self.rng
        rows = {opt: [] for opt in OPTION_VALUES}
        eligible = [p for p in products if p["fam"] in FAMILY_OPTIONS]
        for p in sorted(rng.sample(eligible, 60), key=lambda q: q["part_num"]):
            choices = FAMILY_OPTIONS[p["fam"]]
            for opt in rng.sample(choices, rng.randint(1, min(3, len(choices)))):
                p["show" + opt] = 1
                values = CABLE_LENGTHS if opt == "Sizes" and p["fam"] == "cable" \
                    else OPTION_VALUES[opt]
                for v in rng.sample(values, rng.randint(2, min(5, len(values)))):
                    rows[opt].append((len(rows[opt]) + 1, p["part_num"], v))
        return rows

    def shop_pictures(self, products):
        rng = self.rng
        views = ["Front view", "Back view", "Side view", "Top view", "Ports close-up",
                 "In use", "Package contents"]
        rows = []
        with_pic = [p for p in products if p["picture"]]
        chosen = sorted(rng.sample(range(len(with_pic)), 300))
        for i in chosen:
            p = with_pic[i]
            for pos in range(1, rng.randint(1, 4) + 1):
                rows.append((len(rows) + 1, p["part_num"], "%s_%d.jpg" % (p["part_num"], pos),
                             views[0] if pos == 1 else views[1 + (pos + i) % (len(views) - 1)],
                             pos))
        for i in rng.sample(chosen, 30):
            with_pic[i]["showPicture"] = 1
        return rows

    def details(self, products, attr_share, descr_count):
        rng = self.rng
        attr_rows = []
        for p in products:
            if rng.random() < attr_share:
                attr_rows.extend(self.techspec_rows(p))
        chosen = sorted(rng.sample(range(len(products)), descr_count))
        descrs = [(products[i]["part_num"], self.techdescr(products[i])) for i in chosen]
        return attr_rows, descrs

    def ingram_catalog(self, td_products):
        rng = self.rng
        rows, number = [], 700000
        for i in sorted(rng.sample(range(len(td_products)), 3000)):
            p = td_products[i]
            number += rng.randint(1, 9)
            text = p["descr"].upper()
            first = clip(text, 40)
            rest = text[len(first):].lstrip(" ,") or ", ".join(v for _, v in p["attrs"][1:3])
            rows.append((p["manu_part"], "IM-%06d" % number, first, clip(rest.upper(), 40)))
        return rows


# ---------------------------------------------------------------------------------------------
# SQL output

def literal(v):
    if v is None:
        return "NULL"
    if isinstance(v, bool):
        return "1" if v else "0"
    if isinstance(v, int):
        return str(v)
    if isinstance(v, float):
        return "%.2f" % v
    return "'" + str(v).replace("'", "''") + "'"


class SqlFile:
    def __init__(self, path):
        self.path = path
        self.parts = ["BEGIN;\n"]
        self.counts = {}

    def insert(self, table, columns, rows):
        rows = list(rows)
        self.counts[table] = self.counts.get(table, 0) + len(rows)
        for start in range(0, len(rows), CHUNK):
            values = ",\n".join("(" + ", ".join(literal(v) for v in row) + ")"
                                for row in rows[start:start + CHUNK])
            self.parts.append("INSERT INTO %s (%s) VALUES\n%s;\n"
                              % (table, ", ".join(columns), values))

    def close(self):
        self.parts.append("COMMIT;\n")
        with open(self.path, "w", encoding="utf-8", newline="") as f:
            f.write("".join(self.parts))


PRODUCT_COLUMNS = ["part_num", "manu_part", "descr", "grp", "cat", "sub", "vend_code", "qty",
                   "cost", "status", "picture", "priceOptions", "shipwgth", "noStock",
                   "noshipping", "inventory", "notax", "showPicture"] + \
                  ["show" + opt for opt in OPTION_VALUES]


def write_catalog(out, gen, products, with_z, db):
    groups = [g for g in gen.groups if with_z or not g["grp"].startswith("z")]
    out.insert("maincat", ["maincat", "item"], [(g["maincat"], g["grp"]) for g in groups])
    out.insert("comgrp", ["grp", "descr"], [(g["grp"], g["descr"]) for g in groups])
    out.insert("comcat", ["grp", "cat", "descr", "picture"],
               [(g["grp"], c["cat"], c["descr"], "cat_%s_%s.jpg" % (g["grp"], c["cat"]))
                for g in groups for c in g["cats"]])
    out.insert("comsub", ["grp", "cat", "sub", "descr", "picture"],
               [(g["grp"], c["cat"], s, d, "sub_%s_%s_%s.jpg" % (g["grp"], c["cat"], s))
                for g in groups for c in g["cats"] for s, d in c["subs"]])
    out.insert("manuf", ["vend_code", "vend_name"],
               [(m["code"], m["name"]) for m in gen.manufs if db in m["where"]])
    out.insert("products", PRODUCT_COLUMNS, [[p[c] for c in PRODUCT_COLUMNS] for p in products])


def write_shop_tables(out, gen, products):
    rng = gen.rng
    # Markups: the default, most groups, handling charges and the two demo customers.
    groups = [g["grp"] for g in gen.groups]
    marked = set(rng.sample([g for g in groups if g != "E1"], 32)) | {"E1"}
    rates = [(g, float(rng.randint(5, 35))) for g in groups if g in marked]
    rates[3] = (rates[3][0], 12.5)
    rates[17] = (rates[17][0], 12.5)
    out.insert("markup", ["markupid", "rate", "customerid"],
               [("m001", 15.0, None)] + [(g, r, None) for g, r in rates]
               + [("h001", 3.0, None), ("h002", 5.5, None),
                  ("cust", 0.0, "C10001"), ("cust", 10.0, "C10002")])
    out.insert("customer", ["customerid", "username", "password", "date", "cname", "fname",
                            "mname", "lname", "address", "city", "state", "zip", "country",
                            "phone", "fax", "email", "egroup", "terms"],
               [("C10001", "jporter", "demo1234", "11/2/2026", "", "Jane", "M", "Porter",
                 "418 Larch Street", "Fairhaven", "OR", "97412", "USA", "(541) 555-0117", "",
                 "jane.porter@example.com", "retail", ""),
                ("C10002", "okaneit", "reseller99", "11/2/2026", "O'Kane IT Services", "Declan",
                 "", "O'Kane", "77 Foundry Row, Suite 5", "Millbrook", "WA", "98851", "USA",
                 "(509) 555-0183", "(509) 555-0184", "accounts@example.com", "reseller",
                 "Net 30")])
    # Filters hide one small brand and two discontinued products. Group and category filters
    # hide every row of their group and every row of their category code in the listings, and
    # category codes repeat from group to group, so the demo leaves them out.
    out.insert("filters", ["id", "cat", "items"],
               [(1, "MANUF", "QRM"),
                (2, "PRODUCT", products[137]["part_num"]),
                (3, "PRODUCT", products[1500]["part_num"] + "::discontinued")])
    pages = [
        ("About Us", "Who we are", "company", "info",
         "<h2>About Harrowgate Computer Supply</h2><p>We have supplied computers, parts and "
         "networking gear to homes, schools and small businesses since 1998.</p>"),
        ("Contact Us", "How to reach us", "company", "info",
         "<h2>Contact</h2><p>Call us on weekdays from 8 am to 6 pm, or email "
         "<a href=\"mailto:info@example.com\">info@example.com</a>.</p>"),
        ("Shipping Policy", "Rates and delivery times", "policy", "info",
         "<h2>Shipping</h2><p>Orders placed before 2 pm ship the same business day.</p>"
         "<ul><li>Ground: 3-5 days</li><li>2nd Day Air</li><li>Next Day Air</li></ul>"),
        ("Returns", "Our 30-day return policy", "policy", "info",
         "<h2>Returns</h2><p>Unopened items may be returned within 30 days. Opened software "
         "can't be returned, but defective media will be replaced.</p>"),
        ("Privacy Policy", "How we use your data", "policy", "info",
         "<h2>Privacy</h2><p>We never sell or share your personal information.</p>"),
        ("Terms of Sale", "Prices, payment and warranty terms", "policy", "info",
         "<h2>Terms</h2><p>Prices are subject to change without notice. Manufacturer "
         "warranties apply.</p>"),
        ("Payment Options", "Cards, checks and terms", "policy", "info",
         "<h2>Payment</h2><p>We accept major credit cards and company checks. Net 30 terms "
         "are available to approved business accounts.</p>"),
        ("How to choose a NAS", "Bays, RAID and network speed explained", "howto", "guide",
         "<h2>Choosing a NAS</h2><p>Start with capacity: count today's data and double it.</p>"
         "<p>Four bays with RAID 5 suit most small offices; pick 2.5GbE or faster ports if "
         "several people edit files at once.</p>"),
        ("Choosing the Right SSD", "SATA or NVMe?", "howto", "guide",
         "<h2>SSD buying guide</h2><p>SATA drives fit almost any system; NVMe drives need an "
         "M.2 slot but are many times faster.</p>"),
        ("Monitor Buying Guide", "Size, panel and resolution", "howto", "guide",
         "<h2>Monitors</h2><p>IPS panels give the best colours, VA panels the best contrast "
         "and TN panels the fastest response.</p>"),
        ("Building a Small Office Network", "Switches, routers and Wi-Fi", "howto", "guide",
         "<h2>Small office networks</h2><p>A VPN router, a PoE switch and two ceiling access "
         "points cover a typical 20-person office.</p>"),
        ("Warranty and RMA Service", "Getting a faulty item repaired", "service", "support",
         "<h2>RMA</h2><p>Request an RMA number from our support team before sending anything "
         "back.</p>"),
        ("Training FAQ", "Classes, vouchers and schedules", "service", "support",
         "<h2>Training</h2><p>Seats are confirmed once payment is received. Vouchers are "
         "valid for 12 months.</p>"),
    ]
    out.insert("pages", ["pageId", "pTitle", "pDescr", "pDetails", "pCat", "pGrp"],
               [(i + 1, t, d, html, c, g) for i, (t, d, g, c, html) in enumerate(pages)])
    out.insert("pagesCat", ["pCat", "pCatName"],
               [("info", "Store Information"), ("guide", "Buying Guides"),
                ("support", "Customer Support")])
    out.insert("pagesGrp", ["pGrp", "pgrpname"],
               [("company", "Our Company"), ("policy", "Policies"), ("howto", "How-To Guides"),
                ("service", "Service")])
    out.insert("cart", ["sessionid", "upsize"], [("upsize", "Updated hourly")])
    out.insert("vendors", ["name"],
               [(n,) for n in ["Tech Data", "Ingram Micro", "Northbridge Distribution",
                               "Palisade Wholesale", "Cascade Office Supply",
                               "Redfern Freight Lines", "Summit Software Licensing",
                               "Larkspur Electronics Trading", "Bayline Packaging",
                               "Coastal Courier Services"]])
    words = ["ssd", "nas", "notebook", "usb-c dock", "cat6 cable", "4tb hard drive",
             "wifi 6 access point", "ddr5", "gaming monitor", "ups 1500va", "antivirus",
             "certification", "poe switch", "label printer", "graphics card", "thin client",
             "lto-9", "wireless keyboard", "corvane", "o'kane"]
    stypes = ["m", "w", "a", ""]
    out.insert("searchwords", ["word", "referer", "stype", "qty"],
               [(w, "http://www.example.com/" if i % 3 else
                 "http://www.example.org/search?q=" + w.replace(" ", "+"),
                 stypes[i % 4], rng.randint(1, 120)) for i, w in enumerate(words)])
    prefs = [
        ("colorSchema", "blue"), ("gfontName", "verdana,arial"), ("varCheckIM", "no"),
        ("siteTitle", "Kestrin Demo Computer Store"), ("siteCname", "Harrowgate Computer Supply"),
        ("siteAddress", "1420 Commerce Park Drive"), ("siteCity", "Fairhaven"),
        ("siteState", "OR"), ("siteZip", "97412"), ("siteCountry", "USA"),
        ("sitePhone1", "(541) 555-0142"), ("sitePhone2", "(800) 555-0199"),
        ("siteFax", "(541) 555-0143"), ("siteEmail", "info@example.com"),
        ("siteEmailSales", "sales@example.com"), ("siteEmailSupport", "support@example.com"),
        ("siteEmailSMS", "5415550142@sms.example.net"), ("optInterOrder", "no"),
        ("optSSL", "no"), ("optCCUsername", "demo"), ("optCCPassword", "demo"),
        ("optTDdata", "yes"), ("smtpserver", "localhost"), ("smtpusername", ""),
        ("smtppassword", ""),
    ]
    out.insert("preferences", ["items", "descr"], prefs)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: %s OUTDIR\n" % argv[0])
        return 2
    outdir = argv[1]
    os.makedirs(outdir, exist_ok=True)
    gen = Generator()

    td = gen.techdata_products()
    shop = gen.shop_products(td)
    options = gen.shop_options(shop)
    pictures = gen.shop_pictures(shop)
    shop_attrs, shop_descrs = gen.details(shop, 0.25, 100)
    td_attrs, td_descrs = gen.details(td, 0.8, 300)
    ingram = gen.ingram_catalog(td)

    used = {p["vend_code"] for p in shop}
    for m in gen.manufs:
        assert m["where"] != "K" or m["code"] in used, "unused shop-only maker " + m["code"]

    out = SqlFile(os.path.join(outdir, "demo_kestrin.sql"))
    write_catalog(out, gen, shop, True, "K")
    out.insert("techspec", ["part_num", "seq", "attr_nme", "attr_vnme"], shop_attrs)
    out.insert("techdescr", ["part_num", "descr"], shop_descrs)
    out.insert("pictures", ["id", "part_num", "picture", "descr", "positions"], pictures)
    for opt, rows in options.items():
        out.insert("pr" + opt, ["id", "part_num", "descr"], rows)
    write_shop_tables(out, gen, shop)
    out.close()

    out = SqlFile(os.path.join(outdir, "demo_techdata.sql"))
    write_catalog(out, gen, td, False, "T")
    out.insert("techspec", ["part_num", "seq", "attr_nme", "attr_vnme"], td_attrs)
    out.insert("techdescr", ["part_num", "descr"], td_descrs)
    out.close()

    out = SqlFile(os.path.join(outdir, "demo_ingram.sql"))
    out.insert("catalog", ["vend_part", "part_no", "descript1", "descript2"], ingram)
    out.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
