setinfo info a short tour of the example files
load examples/molecule.sphere
load examples/hill.mesh
load c:/corvid/render/textures/aworld.png
load signpost.wrl
loadmap c:/corvid/render/textures/aworld.png
*label text="welcome" location=-2,2.5,0 scale=0.5 color=1,1,0 name=welcome
*image size=2x1 location=2,2,0 name=world
setobject ball
setproperty transparency
setvalue 16384
